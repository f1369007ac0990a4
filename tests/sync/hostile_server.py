"""A hostile or broken WebDAV server on 127.0.0.1 for the client's limits.
Prints its port, answers by path, and stops by itself after a while.

Usage: hostile_server.py [CERTIFICATE KEY]   with both: https
  /huge      a multistatus that never ends
  /deep      elements nested 10,000 deep
  /many      100,000 empty elements
  /dtd       a document type with an entity that expands a billion times
  /slow      one byte a second
  /loop      a redirect to itself
  /error     500
"""
import http.server
import ssl
import sys
import threading
import time

HEAD = b'<?xml version="1.0"?><D:multistatus xmlns:D="DAV:">'


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def answer(self):
        path = self.path.split("?")[0]
        length = int(self.headers.get("Content-Length", 0) or 0)
        if length:
            self.rfile.read(length)
        if path == "/loop":
            self.send_response(302)
            self.send_header("Location", "/loop")
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if path == "/error":
            self.send_response(500)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        self.send_response(207)
        self.send_header("Content-Type", "application/xml")
        self.end_headers()
        deadline = time.time() + 60
        try:
            if path == "/huge":
                self.wfile.write(HEAD)
                chunk = b"<D:response><D:href>/x</D:href></D:response>" * 1000
                while time.time() < deadline:
                    self.wfile.write(chunk)
            elif path == "/deep":
                self.wfile.write(HEAD + b"<D:response>" + b"<D:x>" * 10000)
            elif path == "/many":
                self.wfile.write(HEAD + b"<D:response><D:href>/x</D:href>" + b"<D:x/>" * 100000
                                 + b"</D:response></D:multistatus>")
            elif path == "/dtd":
                self.wfile.write(b'<?xml version="1.0"?><!DOCTYPE m [<!ENTITY a "aaaaaaaaaa">'
                                 b'<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">'
                                 b'<!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">]>'
                                 b'<D:multistatus xmlns:D="DAV:"><D:response><D:href>&c;</D:href>'
                                 b'</D:response></D:multistatus>')
            elif path == "/slow":
                for byte in HEAD:
                    if time.time() > deadline:
                        break
                    self.wfile.write(bytes([byte]))
                    self.wfile.flush()
                    time.sleep(1)
        except (BrokenPipeError, ConnectionResetError):
            pass

    do_GET = do_PUT = do_DELETE = do_PROPFIND = do_REPORT = answer


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if len(sys.argv) == 3:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[1], sys.argv[2])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    threading.Timer(180, server.shutdown).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
