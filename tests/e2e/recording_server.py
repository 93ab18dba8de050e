"""A lookup server for the client's end-to-end tests: it records the raw request line of every
request and answers with a page whose colour and title the tests can see. The page reports the keys
it receives (GET /key?k=...), so that a test can tell whether the page has the keyboard focus."""

import http.server
import queue
import socketserver
import threading

PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>answer {n}</title>
<style>body {{ margin: 0; background: #00c000; }} a {{ font-size: 20px; }}</style></head>
<body><a href="#one" id="one">first</a> <a href="#two" id="two">second</a>
<script>
document.addEventListener('keydown', function (e) {{
  fetch('/key?k=' + encodeURIComponent(e.key));
}});
</script></body></html>
"""


class RecordingServer:
    def __init__(self, port=0):
        self.requests = queue.Queue()  # raw request lines of lookups
        self.keys = queue.Queue()  # keys the page saw
        self.count = 0
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                if self.path.startswith("/key?"):
                    outer.keys.put(self.path[len("/key?k="):])
                    body = b""
                else:
                    outer.count += 1
                    outer.requests.put(self.requestline)
                    body = PAGE.format(n=outer.count).encode()
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Cache-Control", "no-store")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
            daemon_threads = True
            allow_reuse_address = True

        self.server = Server(("127.0.0.1", port), Handler)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()

    def next_request(self, timeout=10.0):
        return self.requests.get(timeout=timeout)

    def no_request(self, wait=1.5):
        try:
            line = self.requests.get(timeout=wait)
        except queue.Empty:
            return True
        self.requests.put(line)
        return False
