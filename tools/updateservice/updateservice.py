#!/usr/bin/env python3
"""A local update service for tests and the demo.

Answers the update-info query with a configured reply per channel, serves
package files, records statistics reports, and can misbehave on request
(error status, cut transfer, slow transfer, replaced body). Standard library
only; usable as a program and as a module:

    from updateservice import UpdateService
    with UpdateService({"default_reply": "<info/>"}) as svc:
        base = svc.base_url   # http://127.0.0.1:PORT
"""

import argparse
import http.server
import json
import os
import signal
import socket
import sys
import threading
import time
import urllib.parse

UPDATE_INFO_PATH = "/v2/update/ostrel"
STAT_PATH_PREFIX = "/v2/stat/installer/fail/"
CHUNK_SIZE = 1 << 20


class _Handler(http.server.BaseHTTPRequestHandler):
    # One response per connection: a cut transfer then simply closes it.
    protocol_version = "HTTP/1.0"
    server_version = "ZemoraUpdateService/1"

    def log_message(self, format, *args):  # keep test output quiet
        pass

    def do_GET(self):
        service = self.server.service
        service._record_request(self.path)
        parsed = urllib.parse.urlsplit(self.path)
        path = parsed.path
        config = service.config
        fault = (config.get("faults") or {}).get(path)
        try:
            if fault and "status" in fault:
                self._send_bytes(int(fault["status"]), b"fault\n", None)
            elif path == UPDATE_INFO_PATH:
                self._update_info(config, parsed.query, fault)
            elif path.startswith(STAT_PATH_PREFIX):
                service._record_stat(path, parsed.query)
                self._send_bytes(200, b"ok\n", None)
            elif path in (config.get("files") or {}):
                self._file(config["files"][path], fault)
            else:
                self._send_bytes(404, b"not found\n", None)
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError):
            pass  # the client went away; nothing to answer

    def _update_info(self, config, query, fault):
        values = urllib.parse.parse_qs(query, keep_blank_values=True)
        channel = values.get("channel", [""])[0]
        replies = config.get("replies") or {}
        if channel in replies:
            body = replies[channel]
        elif "default_reply" in config:
            body = config["default_reply"]
        else:
            self._send_bytes(404, b"no reply for this channel\n", None)
            return
        self._send_bytes(200, _as_bytes(body), fault, "text/xml; charset=utf-8")

    def _file(self, local_path, fault):
        if fault and "body" in fault:
            self._send_bytes(200, _as_bytes(fault["body"]), None)
            return
        try:
            size = os.path.getsize(local_path)
            handle = open(local_path, "rb")
        except OSError:
            self._send_bytes(404, b"file missing\n", None)
            return
        with handle:
            self._send_headers(200, size, "application/octet-stream")
            self._stream(handle, size, fault)

    def _send_bytes(self, status, body, fault, content_type="text/plain"):
        if fault and "body" in fault:
            body = _as_bytes(fault["body"])
        self._send_headers(status, len(body), content_type)
        if fault and ("cut_after" in fault or "delay_ms_per_chunk" in fault):
            self._stream(_BytesReader(body), len(body), fault)
        else:
            self.wfile.write(body)

    def _send_headers(self, status, length, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(length))
        self.send_header("Connection", "close")
        self.end_headers()

    def _stream(self, reader, size, fault):
        fault = fault or {}
        limit = size
        if "cut_after" in fault:
            limit = min(size, int(fault["cut_after"]))
        delay = int(fault.get("delay_ms_per_chunk", 0)) / 1000.0
        chunk = int(fault.get("chunk", CHUNK_SIZE)) if delay else CHUNK_SIZE
        chunk = max(1, chunk)
        sent = 0
        while sent < limit:
            piece = reader.read(min(chunk, limit - sent))
            if not piece:
                break
            if delay:
                time.sleep(delay)
            self.wfile.write(piece)
            self.wfile.flush()
            sent += len(piece)
        if sent < size:
            # Announced more than was sent: end the connection abruptly.
            self.close_connection = True
            try:
                self.wfile.flush()
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


class _BytesReader:
    def __init__(self, data):
        self.data = data
        self.offset = 0

    def read(self, n):
        piece = self.data[self.offset:self.offset + n]
        self.offset += len(piece)
        return piece


def _as_bytes(body):
    return body if isinstance(body, bytes) else str(body).encode("utf-8")


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class UpdateService:
    """The service on 127.0.0.1; start() returns its base URL."""

    def __init__(self, config=None, stats_path=None, port=0):
        self.config = dict(config or {})
        self.stats_path = stats_path
        self._port = port
        self._lock = threading.Lock()
        self._stats = []
        self._requests = []
        self._server = None
        self._thread = None
        self.base_url = None

    def set_config(self, config):
        self.config = dict(config)

    def start(self):
        self._server = _Server(("127.0.0.1", self._port), _Handler)
        self._server.service = self
        self._thread = threading.Thread(target=self._server.serve_forever,
                                        kwargs={"poll_interval": 0.1}, daemon=True)
        self._thread.start()
        self.base_url = "http://127.0.0.1:%d" % self._server.server_address[1]
        return self.base_url

    @property
    def port(self):
        return self._server.server_address[1] if self._server else None

    def stop(self):
        if self._server:
            self._server.shutdown()
            self._server.server_close()
            self._thread.join()
            self._server = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def stats(self):
        with self._lock:
            return list(self._stats)

    def requests(self):
        with self._lock:
            return list(self._requests)

    def _record_request(self, path):
        with self._lock:
            self._requests.append(path)

    def _record_stat(self, path, raw_query):
        code_text = path[len(STAT_PATH_PREFIX):]
        try:
            code = int(code_text)
        except ValueError:
            code = code_text
        query = {k: v[0] if len(v) == 1 else v
                 for k, v in urllib.parse.parse_qs(raw_query, keep_blank_values=True).items()}
        record = {"code": code, "query": query, "raw_query": raw_query, "path": path}
        with self._lock:
            self._stats.append(record)
            if self.stats_path:
                with open(self.stats_path, "a", encoding="utf-8") as out:
                    out.write(json.dumps(record) + "\n")


def main(argv=None):
    parser = argparse.ArgumentParser(description="Local update service for tests and the demo.")
    parser.add_argument("--config", required=True, help="JSON file with replies, files and faults")
    parser.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: any free one)")
    parser.add_argument("--port-file", help="write the chosen port to this file")
    parser.add_argument("--stats", help="append statistics reports to this JSON-lines file")
    args = parser.parse_args(argv)

    with open(args.config, encoding="utf-8") as f:
        config = json.load(f)
    service = UpdateService(config, stats_path=args.stats, port=args.port)
    base = service.start()
    if args.port_file:
        with open(args.port_file, "w", encoding="utf-8") as f:
            f.write("%d\n" % service.port)
    print("listening on %s" % base, flush=True)

    stop = threading.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: stop.set())
    while not stop.wait(0.5):
        pass
    service.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
