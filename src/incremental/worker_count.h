// How many extra threads apply file operations: the processors' idle share,
// measured over a fixed pause, scaled to the processors beyond the first.
#pragma once

#include <cstdint>

// The machine facts the count depends on, replaceable in tests.
class IProcessorClock {
 public:
  virtual ~IProcessorClock() = default;
  virtual unsigned ProcessorCount() = 0;
  // Idle time summed over all processors and the time of day, both in 100 ns
  // units; false when the system times cannot be read.
  virtual bool ReadTimes(uint64_t& idle, uint64_t& timeOfDay) = 0;
  virtual void Pause(unsigned milliseconds) = 0;
};

// The real processor count, GetSystemTimes, the system time and Sleep.
IProcessorClock& SystemProcessorClock();

// The number of extra workers (0 or more): (N - 1) x idle share, with a few
// points allowed for the updater itself, after a 2000 ms sample and its log
// line; 0 at once on a one-processor machine.
int SuitableWorkerCount();
int SuitableWorkerCount(IProcessorClock& clock);
