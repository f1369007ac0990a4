"""A proxy in front of a CalDAV server on 127.0.0.1 that fails for a while:
it passes every request on, but after the first PASSED writes (PUT) it
answers the next FAILED writes with 500. Prints its port.

Usage: failing_proxy.py SERVER_PORT PASSED FAILED
"""
import http.client
import http.server
import sys
import threading


class Proxy(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    writes = 0
    lock = threading.Lock()

    def log_message(self, *args):
        pass

    def handle_one_request(self):
        self.raw_requestline = self.rfile.readline(65537)
        if not self.raw_requestline or not self.parse_request():
            self.close_connection = True
            return
        body = self.rfile.read(int(self.headers.get("Content-Length", 0) or 0))
        if self.command == "PUT":
            with Proxy.lock:
                Proxy.writes += 1
                passed = int(sys.argv[2])
                failing = passed < Proxy.writes <= passed + int(sys.argv[3])
            if failing:
                self.answer(500, {"Content-Type": "text/plain"}, b"failing on purpose")
                return
        server = http.client.HTTPConnection("127.0.0.1", int(sys.argv[1]), timeout=60)
        headers = {k: v for k, v in self.headers.items() if k.lower() not in ("host", "connection")}
        server.request(self.command, self.path, body=body, headers=headers)
        reply = server.getresponse()
        data = reply.read()
        passed = {k: v for k, v in reply.getheaders()
                  if k.lower() not in ("content-length", "connection", "transfer-encoding")}
        self.answer(reply.status, passed, data)
        server.close()

    def answer(self, status, headers, data):
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)
        self.wfile.flush()


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Proxy)
    print(server.server_address[1], flush=True)
    threading.Timer(300, server.shutdown).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
