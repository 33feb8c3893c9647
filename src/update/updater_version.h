// This updater's own version, sent with the update-info query and compared
// with the versions a reply offers.
#pragma once

constexpr int kUpdaterVersionCode = 186;
constexpr char kUpdaterVersionName[] = "general";
