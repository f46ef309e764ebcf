"""A banner server on 127.0.0.1 that the scenario controls: it serves
pages and pictures by path, or answers a page with a chunked body that never
ends, and records every request."""

import http.server
import struct
import threading
import zlib

PAGE_PATH = "/Banner/BanLang/BanLang_1.html"


def png(width, height):
    """A one-colour RGB PNG: small on the wire however many pixels it has."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    row = b"\x00" + b"\xc0\x40\x20" * width  # filter byte, then 8-bit RGB pixels
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(row * height, 6)) + chunk(b"IEND", b""))


def html(body):
    return ("<html><head><meta charset=\"utf-8\"></head><body>" + body +
            "</body></html>").encode()


ENDLESS = object()  # the answer to a path that streams forever


class BannerServer:
    def __init__(self, routes):
        """routes: path -> (content type, bytes) or ENDLESS."""
        self.routes = routes
        self.requests = []
        self.stopping = threading.Event()
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                server.requests.append(self.path)
                answer = server.routes.get(self.path)
                if answer is None:
                    self.send_error(404)
                elif answer is ENDLESS:
                    self.stream_forever()
                else:
                    kind, body = answer
                    self.send_response(200)
                    self.send_header("Content-Type", kind)
                    self.send_header("Content-Length", str(len(body)))
                    self.end_headers()
                    self.wfile.write(body)

            def stream_forever(self):
                # One-byte chunks as fast as the socket takes them.
                self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                 b"Transfer-Encoding: chunked\r\n\r\n")
                burst = b"1\r\nx\r\n" * 10000
                try:
                    while not server.stopping.is_set():
                        self.wfile.write(burst)
                except OSError:
                    pass  # the program hung up
                self.close_connection = True

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.stopping.set()
        self.httpd.shutdown()
        self.httpd.server_close()
