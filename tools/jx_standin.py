#!/usr/bin/python3
"""A stand-in JX server for tests and the demo.

  edi-jx-standin init FOLDER
      Makes FOLDER with a test certificate authority (ca.pem, ca.key), a
      server certificate for 127.0.0.1/::1/localhost signed by it
      (server.pem, server.key), a client certificate (client.pem,
      client.key), the queue folder and switches.json.

  edi-jx-standin serve FOLDER [--port N] [--bind 127.0.0.1] [--user U
      --password P] [--client-cert] [--http]
      Serves HTTPS (plain HTTP with --http) on the loopback address. With
      --port 0 it picks a free port; either way it writes the port to
      FOLDER/port once it listens. With --user, Basic authentication is
      required; with --client-cert, a client certificate of the test CA.

The documents waiting are the files of FOLDER/queue in name order (a file
NAME.meta, JSON, may give messageId, senderId, formatType, documentType,
compressType). GetDocument hands out the first until it is confirmed;
ConfirmDocument moves it to FOLDER/confirmed. Every request is logged as a
JSON line in FOLDER/requests.log.

FOLDER/switches.json, read at every request, sets failures:
  "get_status": 401        every GetDocument answered with this HTTP status
  "get_fault": true        GetDocument answered with a SOAP fault
  "silent": true           no answer at all (the connection stays open)
  "malformed": true        GetDocument answered with broken XML
  "bad_base64": true       the data is not base64
  "compress_type": "zip"   the compressType sent
  "namespace": "nohyphen"  the namespace spelling of the responses
  "confirm": "false" | "fault" | "drop" | "401"   how ConfirmDocument fails
  "confirm_only": NAME     ... only for this queue file
  "drop_first_delivery": true   the connection is dropped on every
                           ConfirmDocument of a document's first delivery
"""

import base64
import http.server
import json
import os
import socket
import ssl
import subprocess
import sys
import threading
import time
import xml.etree.ElementTree as ET

NS_HYPHEN = "http://www.dsri.jp/edi-bp/2004/jedicos-xml/client-server"
NS_NO_HYPHEN = "http://www.dsri.jp/edi-bp/2004/jedicosxml/client-server"
SOAP = "http://schemas.xmlsoap.org/soap/envelope/"
CHUNK = 3 * 256 * 1024  # bytes of a document encoded at a time


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificate(folder, name, subject, extensions):
    openssl("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", name + ".key",
            "-out", name + ".csr", "-subj", subject, cwd=folder)
    with open(os.path.join(folder, name + ".ext"), "w") as f:
        f.write(extensions)
    openssl("x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-out", name + ".pem", "-days", "3650", "-extfile", name + ".ext", cwd=folder)
    os.remove(os.path.join(folder, name + ".csr"))
    os.remove(os.path.join(folder, name + ".ext"))


def init(folder):
    os.makedirs(os.path.join(folder, "queue"), exist_ok=True)
    os.makedirs(os.path.join(folder, "confirmed"), exist_ok=True)
    if not os.path.exists(os.path.join(folder, "ca.pem")):
        openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                "-keyout", "ca.key", "-out", "ca.pem", "-days", "3650", "-subj", "/CN=EDI JX stand-in test CA",
                "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                cwd=folder)
        make_certificate(folder, "server", "/CN=127.0.0.1",
                         "subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost\nextendedKeyUsage=serverAuth\n")
        make_certificate(folder, "client", "/CN=edi-station test client", "extendedKeyUsage=clientAuth\n")
    switches = os.path.join(folder, "switches.json")
    if not os.path.exists(switches):
        with open(switches, "w") as f:
            f.write("{}\n")


class Queue:
    """The documents of FOLDER/queue and what happened to them."""

    def __init__(self, folder):
        self.folder = folder
        self.lock = threading.Lock()
        self.deliveries = {}
        state = os.path.join(folder, "deliveries.json")
        if os.path.exists(state):
            with open(state) as f:
                self.deliveries = json.load(f)

    def switches(self):
        try:
            with open(os.path.join(self.folder, "switches.json")) as f:
                return json.load(f)
        except (OSError, ValueError):
            return {}

    def meta(self, name):
        meta = {"messageId": name + "@jx-standin", "senderId": "4900000000001", "formatType": "SecondGenEDI",
                "documentType": "Order", "compressType": ""}
        path = os.path.join(self.folder, "queue", name + ".meta")
        if os.path.exists(path):
            with open(path) as f:
                meta.update(json.load(f))
        return meta

    def waiting(self):
        names = sorted(n for n in os.listdir(os.path.join(self.folder, "queue")) if not n.endswith(".meta"))
        return [n for n in names if os.path.isfile(os.path.join(self.folder, "queue", n))]

    def first(self):
        with self.lock:
            names = self.waiting()
            if not names:
                return None
            name = names[0]
            self.deliveries[name] = self.deliveries.get(name, 0) + 1
            self._save()
            return name

    def find(self, message_id):
        for name in self.waiting():
            if self.meta(name)["messageId"] == message_id:
                return name
        return None

    def confirm(self, name):
        with self.lock:
            os.replace(os.path.join(self.folder, "queue", name), os.path.join(self.folder, "confirmed", name))
            meta = os.path.join(self.folder, "queue", name + ".meta")
            if os.path.exists(meta):
                os.replace(meta, os.path.join(self.folder, "confirmed", name + ".meta"))

    def _save(self):
        with open(os.path.join(self.folder, "deliveries.json"), "w") as f:
            json.dump(self.deliveries, f)

    def log(self, entry):
        with self.lock, open(os.path.join(self.folder, "requests.log"), "a") as f:
            f.write(json.dumps(entry, ensure_ascii=False) + "\n")


def envelope(namespace, body):
    return ('<?xml version="1.0" encoding="utf-8"?>\n'
            '<soap:Envelope xmlns:soap="%s"><soap:Header><MessageHeader xmlns="%s"><From>jx-standin</From>'
            '<To>client</To><MessageId>%s@jx-standin</MessageId><Timestamp>%s</Timestamp></MessageHeader>'
            '</soap:Header><soap:Body>%s</soap:Body></soap:Envelope>\n'
            % (SOAP, namespace, time.strftime("%Y%m%d%H%M%S"), time.strftime("%Y-%m-%dT%H:%M:%S"), body))


def fault(code, text):
    return ('<soap:Fault><faultcode>soap:%s</faultcode><faultstring>%s</faultstring></soap:Fault>' % (code, text))


def read_request(body):
    """The operation and the fields of a SOAP request."""
    root = ET.fromstring(body)
    fields = {}
    operation = None
    for element in root.iter():
        tag = element.tag.split("}")[-1]
        if operation is None and tag in ("GetDocument", "ConfirmDocument", "PutDocument"):
            operation = tag
        elif tag in ("receiverId", "messageId", "senderId", "From", "To", "MessageId"):
            fields[tag] = (element.text or "").strip()
    return operation, fields


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "jx-standin"

    def log_message(self, *args):
        pass

    def do_POST(self):
        queue = self.server.queue
        switches = queue.switches()
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        try:
            operation, fields = read_request(body)
        except ET.ParseError:
            operation, fields = None, {}
        queue.log({"operation": operation, "soapAction": self.headers.get("SOAPAction", ""), **fields})
        if switches.get("silent"):
            time.sleep(3600)
            return
        if self.server.user is not None and not self.authorised():
            return self.answer(401, "Unauthorized", extra={"WWW-Authenticate": 'Basic realm="jx"'})
        namespace = NS_NO_HYPHEN if switches.get("namespace") == "nohyphen" else NS_HYPHEN
        if operation == "GetDocument":
            return self.get_document(queue, switches, namespace)
        if operation == "ConfirmDocument":
            return self.confirm_document(queue, switches, namespace, fields)
        self.answer(500, envelope(namespace, fault("Client", "unknown operation")))

    def authorised(self):
        expected = base64.b64encode(("%s:%s" % (self.server.user, self.server.password)).encode()).decode()
        return self.headers.get("Authorization", "") == "Basic " + expected

    def get_document(self, queue, switches, namespace):
        if switches.get("get_status"):
            return self.answer(int(switches["get_status"]), "refused")
        if switches.get("get_fault"):
            return self.answer(500, envelope(namespace, fault("Server", "the stand-in was told to fail")))
        if switches.get("malformed"):
            return self.answer(200, '<soap:Envelope xmlns:soap="%s"><soap:Body><GetDocumentResponse xmlns="%s">'
                                    '<GetDocumentResult>true</GetDocumentResult><data>QUJD</soap:Body>' % (SOAP, namespace))
        name = queue.first()
        if name is None:
            return self.answer(200, envelope(namespace, '<GetDocumentResponse xmlns="%s"><GetDocumentResult>false'
                                                        '</GetDocumentResult></GetDocumentResponse>' % namespace))
        meta = queue.meta(name)
        compress = switches.get("compress_type", meta["compressType"])
        head, tail = envelope(namespace, "\0").split("\0")
        head += ('<GetDocumentResponse xmlns="%s"><GetDocumentResult>true</GetDocumentResult>'
                 '<messageId>%s</messageId><data>' % (namespace, meta["messageId"]))
        tail = ('</data><senderId>%s</senderId><receiverId>%s</receiverId><formatType>%s</formatType>'
                '<documentType>%s</documentType><compressType>%s</compressType></GetDocumentResponse>'
                % (meta["senderId"], "client", meta["formatType"], meta["documentType"], compress)) + tail
        path = os.path.join(queue.folder, "queue", name)
        size = os.path.getsize(path)
        encoded = (size + 2) // 3 * 4
        bad = b"!!!!" if switches.get("bad_base64") else b""
        self.send_response(200)
        self.send_header("Content-Type", "text/xml; charset=utf-8")
        self.send_header("Content-Length", str(len(head.encode()) + encoded + len(bad) + len(tail.encode())))
        self.end_headers()
        self.wfile.write(head.encode() + bad)
        with open(path, "rb") as f:
            while True:
                chunk = f.read(CHUNK)
                if not chunk:
                    break
                self.wfile.write(base64.b64encode(chunk))
        self.wfile.write(tail.encode())

    def confirm_document(self, queue, switches, namespace, fields):
        name = queue.find(fields.get("messageId", ""))
        failure = switches.get("confirm", "ok")
        if switches.get("confirm_only") and switches["confirm_only"] != name:
            failure = "ok"
        if switches.get("drop_first_delivery") and name is not None and queue.deliveries.get(name, 0) <= 1:
            failure = "drop"
        if failure == "drop":
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        if failure == "401":
            return self.answer(401, "Unauthorized")
        if failure == "fault":
            return self.answer(500, envelope(namespace, fault("Server", "the confirmation was refused")))
        result = "true"
        if failure == "false" or name is None:
            result = "false"
        else:
            queue.confirm(name)
        self.answer(200, envelope(namespace, '<ConfirmDocumentResponse xmlns="%s"><ConfirmDocumentResult>%s'
                                             '</ConfirmDocumentResult></ConfirmDocumentResponse>' % (namespace, result)))

    def answer(self, status, text, extra=None):
        data = text.encode()
        self.send_response(status)
        self.send_header("Content-Type", "text/xml; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        for key, value in (extra or {}).items():
            self.send_header(key, value)
        self.end_headers()
        self.wfile.write(data)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    tls = None

    def finish_request(self, request, client_address):
        # The TLS handshake runs in the request's own thread, so a client
        # that never completes it holds up no other.
        if self.tls is not None:
            request = self.tls.wrap_socket(request, server_side=True, do_handshake_on_connect=False)
            try:
                request.settimeout(30)
                request.do_handshake()
            except (ssl.SSLError, OSError):
                # The alert has gone out; what the client sent meanwhile is
                # read before the socket closes, or the close would reset
                # the connection and lose the alert.
                raw = socket.socket(fileno=request.detach())
                raw.settimeout(0.5)
                try:
                    while raw.recv(65536):
                        pass
                except OSError:
                    pass
                raw.close()
                return
        super().finish_request(request, client_address)


def serve(folder, args):
    port, bind, user, password = 0, "127.0.0.1", None, None
    plain, client_cert = False, False
    i = 0
    while i < len(args):
        if args[i] == "--port":
            port = int(args[i + 1]); i += 1
        elif args[i] == "--bind":
            bind = args[i + 1]; i += 1
        elif args[i] == "--user":
            user = args[i + 1]; i += 1
        elif args[i] == "--password":
            password = args[i + 1]; i += 1
        elif args[i] == "--http":
            plain = True
        elif args[i] == "--client-cert":
            client_cert = True
        else:
            sys.exit("edi-jx-standin serve: unknown option " + args[i])
        i += 1
    server = Server((bind, port), Handler)
    server.queue = Queue(folder)
    server.user = user
    server.password = password or ""
    if not plain:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(folder, "server.pem"), os.path.join(folder, "server.key"))
        if client_cert:
            context.verify_mode = ssl.CERT_REQUIRED
            context.load_verify_locations(os.path.join(folder, "ca.pem"))
        server.tls = context
    chosen = server.server_address[1]
    with open(os.path.join(folder, "port.tmp"), "w") as f:
        f.write("%d\n" % chosen)
    os.replace(os.path.join(folder, "port.tmp"), os.path.join(folder, "port"))
    print("edi-jx-standin: %s://%s:%d/jx serving %s" % ("http" if plain else "https", bind, chosen, folder),
          flush=True)
    try:
        server.serve_forever(poll_interval=0.1)
    except KeyboardInterrupt:
        pass


VERSION = "@PROJECT_VERSION@"


def main(argv):
    if len(argv) == 2 and argv[1] == "--version":
        print("edi-jx-standin", VERSION)
        return
    if len(argv) >= 2 and argv[1] in ("-h", "--help"):
        print(__doc__)
        return
    if len(argv) < 3 or argv[1] not in ("init", "serve"):
        sys.exit(__doc__)
    if argv[1] == "init":
        init(argv[2])
    else:
        serve(argv[2], argv[3:])


if __name__ == "__main__":
    main(sys.argv)
