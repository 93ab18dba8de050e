"""A stand-in lookup server for the client benchmarks: it answers every GET with a small page that
must not be cached and records when each request line arrived (time.monotonic())."""

import http.server
import queue
import threading
import time

PAGE = ("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>answer {n}</title></head>"
        "<body><p>answer {n}</p></body></html>")


class TimingServer:
    def __init__(self, host, port):
        self.arrivals = queue.Queue()  # (monotonic seconds, request line)
        self._count = 0
        self._count_lock = threading.Lock()
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def parse_request(self):
                # Called as soon as the request line has been read, before the headers are parsed.
                self.arrived = time.monotonic()
                return super().parse_request()

            def do_GET(self):
                with outer._count_lock:
                    outer._count += 1
                    n = outer._count
                outer.arrivals.put((self.arrived, self.requestline))
                body = PAGE.format(n=n).encode()
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Cache-Control", "no-store")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        class Server(http.server.ThreadingHTTPServer):
            daemon_threads = True

        try:
            self._server = Server((host, port), Handler)
        except OSError as error:
            raise SystemExit(f"cannot listen on {host}:{port} ({error}); configure the build tree with "
                             f"another -DCHATI_LOOKUP_HOST=127.0.0.1:<free port> and rebuild") from error
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()

    def next_arrival(self, timeout=10.0):
        try:
            return self.arrivals.get(timeout=timeout)
        except queue.Empty:
            raise SystemExit(f"no request reached the server within {timeout} s") from None

    def close(self):
        self._server.shutdown()
        self._server.server_close()
        self._thread.join(timeout=5)
