#!/usr/bin/python3
"""CIM-XML replay server for the tests of Cimscope's CIM-XML client.

Answers POSTs at /cimom on 127.0.0.1 (port chosen by the kernel) with the
replies OpenPegasus gave to the recorded requests in --fixtures DIR (i.e.
<shared fixtures>/cimxml/openpegasus), matched by CIMMethod, namespace and
the main IPARAMVALUEs (ClassName, InstanceName, ObjectName). Where the
recordings hold nothing for what the client asks, a reply is synthesized
from recorded parts, as listed here.

The recordings' whitespace was reformatted when they were published: every
value was put on a line of its own. That line break after <VALUE> and
<KEYVALUE> and before their end tags is removed again when a reply is
served, so that string values arrive as the server sent them.

Namespaces: test/cimv2 and test/static (recorded), root/interop, and root
and test without classes (synthesized); any other namespace gets the recorded CIM_ERR_INVALID_NAMESPACE.

  EnumerateClassNames   test/cimv2: recorded; test/static: PG_TestPropertyTypes
  GetClass              test/cimv2: CIM_InstalledProductImage recorded, the
                        other top-level classes cut from the recorded
                        EnumerateClasses reply, unknown names the recorded
                        CIM_ERR_NOT_FOUND; test/static: PG_TestPropertyTypes
                        made from the recorded instances' TYPEs, keys from
                        their INSTANCENAME (unless --hide-class)
  EnumerateClasses      test/cimv2: recorded
  EnumerateInstances    PG_TestPropertyTypes: recorded (2 instances)
  OpenEnumerateInstances / PullInstancesWithPath / CloseEnumeration
                        synthesized over the same instances (and CIM_Namespace
                        in root/interop), at most --batch per reply
  GetInstance           an instance of those by its keys; else recorded NOT_FOUND
  Associators/References
                        of a class: recorded (empty); of a PG_TestPropertyTypes
                        instance: the other instances, synthesized
  ExecQuery             CIM_ERR_QUERY_LANGUAGE_NOT_SUPPORTED (synthesized)
  class Cimscope_BadRequest
                        the recorded HTTP 400 with CIMError: request-not-valid
  anything else         CIM_ERR_NOT_SUPPORTED (synthesized)

With --pywbem DIR (<shared fixtures>/cimxml/pywbem, read with python3-yaml),
a request whose CIMMethod, CIMObject and main parameter equal those of one of
pywbem's cases is answered first with that case's HTTP reply (the first such
case in file order): all CIM types, embedded objects, method calls.
root/cimv2 and test/TestProvider are then namespaces without classes.

Options: --tls (certificates made at start, the CA printed as CERT <path>),
--user/--password (Basic; 401 otherwise), --no-pull (Open* answered
CIM_ERR_NOT_SUPPORTED), --batch N, --log FILE (one line per request).
Stops when stdin closes, on SIGTERM, or after 120 s without requests.
"""

import argparse
import base64
import glob
import os
import re
import shutil
import signal
import ssl
import sys
import tempfile
import threading
import time
import xml.etree.ElementTree as ET
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import quote, unquote

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "winrm"))
from replay_server import make_certificates  # noqa: E402  (the WinRM replay server's CA)

IDLE_SECONDS = 120
MAX_BODY = 1 << 20


def unformat(text):
    text = re.sub(r"(<VALUE>|<KEYVALUE[^>]*>)\n", r"\1", text)
    return re.sub(r"\n(</VALUE>|</KEYVALUE>)", r"\1", text)


def split_reply(raw):
    """(status, headers, body) of a recorded reply file."""
    if not raw.startswith("HTTP/"):
        return 200, [], raw
    head, _, body = raw.partition("\n\n")
    lines = head.splitlines()
    status = int(lines[0].split()[1])
    headers = [tuple(x.strip() for x in l.split(":", 1)) for l in lines[1:] if ":" in l]
    return status, headers, body


def namespace_of(call):
    lnp = call.find("LOCALNAMESPACEPATH")
    if lnp is None:
        return ""
    return "/".join(n.get("NAME", "") for n in lnp.findall("NAMESPACE")).lower()


def keys_of(instancename):
    return {k.get("NAME", "").lower(): (k.findtext("KEYVALUE") or "").strip()
            for k in instancename.findall("KEYBINDING")}


def param_key(p):
    """The canonical text of a main parameter: a class name or a key set."""
    if p is None:
        return ""
    cn = p.find("CLASSNAME")
    if cn is not None:
        return cn.get("NAME", "").lower()
    inst = p.find("INSTANCENAME")
    if inst is not None:
        return inst.get("CLASSNAME", "").lower() + repr(sorted(keys_of(inst).items()))
    return (p.findtext("VALUE") or "").strip().lower()


def params_of(call):
    return {p.get("NAME", "").lower(): p for p in call.findall("IPARAMVALUE")}


def response(method, inner, intrinsic=True):
    tag = "IMETHODRESPONSE" if intrinsic else "METHODRESPONSE"
    return ('<?xml version="1.0" encoding="utf-8"?>\n<CIM CIMVERSION="2.0" DTDVERSION="2.0">'
            f'<MESSAGE ID="1" PROTOCOLVERSION="1.0"><SIMPLERSP><{tag} NAME="{method}">'
            f"{inner}</{tag}></SIMPLERSP></MESSAGE></CIM>")


def error(method, code, description):
    d = description.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;")
    return response(method, f'<ERROR CODE="{code}" DESCRIPTION="{d}"/>')


def renamed(body, method):
    return re.sub(r'(<IMETHODRESPONSE NAME=")[^"]*"', r'\g<1>' + method + '"', body, count=1)


class Recordings:
    def __init__(self, root):
        self.exact = {}
        for req in glob.glob(os.path.join(root, "*", "*", "*.xml")):
            if req.endswith("rspgood.xml"):
                continue
            rsp = req[:-4] + "rspgood.xml"
            if not os.path.exists(rsp):
                continue
            try:
                call = ET.parse(req).getroot().find(".//IMETHODCALL")
            except ET.ParseError:
                continue
            if call is None:
                continue
            p = params_of(call)
            main = next((p[n] for n in ("classname", "instancename", "objectname") if n in p), None)
            key = (call.get("NAME"), namespace_of(call), param_key(main), tuple(sorted(p)))
            with open(rsp, encoding="utf-8") as f:
                self.exact.setdefault(key, split_reply(unformat(f.read())))
        self.by_file = {}
        for rsp in glob.glob(os.path.join(root, "*", "*", "*rspgood.xml")):
            with open(rsp, encoding="utf-8") as f:
                self.by_file[os.path.basename(rsp)[:-len("rspgood.xml")]] = split_reply(
                    unformat(f.read()))

    def file(self, name):
        return self.by_file[name]


class PywbemCases:
    def __init__(self, root):
        import yaml  # python3-yaml; only with --pywbem
        self.cases = []
        for path in sorted(glob.glob(os.path.join(root, "*.yaml"))):
            with open(path, encoding="utf-8") as f:
                for case in yaml.safe_load(f) or []:
                    req, rsp = case.get("http_request"), case.get("http_response")
                    if not req or not rsp or not req.get("data") or "status" not in rsp:
                        continue
                    h = req.get("headers") or {}
                    try:
                        key = self.key(h.get("CIMMethod", ""), h.get("CIMObject", ""), req["data"])
                    except ET.ParseError:
                        continue
                    headers = [(n, str(v)) for n, v in (rsp.get("headers") or {}).items()
                               if n.lower() != "cimoperation"]
                    self.cases.append((key, (rsp["status"], headers, rsp.get("data") or "")))

    @staticmethod
    def key(method, cimobject, body):
        root = ET.fromstring(body.strip())
        call = root.find(".//IMETHODCALL")
        main = ""
        if call is not None:
            p = params_of(call)
            main = param_key(next((p[n] for n in ("classname", "instancename", "objectname")
                                   if n in p), None))
        return (method.lower(), unquote(cimobject).lower(), main)

    def find(self, method, cimobject, body):
        try:
            key = self.key(method, cimobject, body)
        except ET.ParseError:
            return None
        return next((reply for k, reply in self.cases if k == key), None)


class World:
    """What the server holds: recorded parts, plus what is synthesized."""

    def __init__(self, rec, hide_class):
        self.rec = rec
        _, _, enum = rec.file("EnumerateInstances51000")
        self.instances = re.findall(r"<VALUE\.NAMEDINSTANCE>.*?</VALUE\.NAMEDINSTANCE>", enum, re.S)
        _, _, classes = rec.file("EnumerateClasses42003")
        self.cimv2_classes = {m.group(1).lower(): m.group(0) for m in
                              re.finditer(r'<CLASS NAME="(\w+)".*?</CLASS>', classes, re.S)}
        self.hide_class = hide_class
        names = ["root/interop", "root/cimv2", "test/cimv2", "test/static"]
        self.namespaces = [
            "<VALUE.NAMEDINSTANCE><INSTANCENAME CLASSNAME=\"CIM_Namespace\">"
            f"<KEYBINDING NAME=\"Name\"><KEYVALUE VALUETYPE=\"string\">{n}</KEYVALUE></KEYBINDING>"
            "</INSTANCENAME><INSTANCE CLASSNAME=\"CIM_Namespace\">"
            f"<PROPERTY NAME=\"Name\" TYPE=\"string\"><VALUE>{n}</VALUE></PROPERTY></INSTANCE>"
            "</VALUE.NAMEDINSTANCE>" for n in names]

    def pg_class(self):
        first = ET.fromstring(self.instances[0])
        key_names = set(keys_of(first.find("INSTANCENAME")))
        out = ['<CLASS NAME="PG_TestPropertyTypes">']
        for p in first.find("INSTANCE").findall("PROPERTY"):
            name, typ = p.get("NAME"), p.get("TYPE")
            out.append(f'<PROPERTY NAME="{name}" TYPE="{typ}">')
            if name.lower() in key_names:
                out.append('<QUALIFIER NAME="Key" TYPE="boolean"><VALUE>TRUE</VALUE></QUALIFIER>')
            out.append("</PROPERTY>")
        return "".join(out) + "</CLASS>"

    def source(self, ns, cls):
        """Named instances of a class, or None for a class not here."""
        if ns == "test/static" and cls == "pg_testpropertytypes":
            return self.instances
        if ns == "root/interop" and cls == "cim_namespace":
            return self.namespaces
        return None


def with_path(named, _unused=None):
    """(INSTANCENAME, INSTANCE) of a VALUE.NAMEDINSTANCE."""
    m = re.match(r"<VALUE\.NAMEDINSTANCE>(.*?</INSTANCENAME>)(.*)</VALUE\.NAMEDINSTANCE>$",
                 named, re.S)
    return m.group(1), m.group(2)


def instance_path(name, ns):
    parts = "".join(f'<NAMESPACE NAME="{p}"/>' for p in ns.split("/"))
    return (f"<INSTANCEPATH><NAMESPACEPATH><HOST>127.0.0.1</HOST><LOCALNAMESPACEPATH>{parts}"
            f"</LOCALNAMESPACEPATH></NAMESPACEPATH>{name}</INSTANCEPATH>")


class State:
    def __init__(self, args, world, pywbem):
        self.args = args
        self.world = world
        self.pywbem = pywbem
        self.lock = threading.Lock()
        self.contexts = {}
        self.next_context = 1
        self.last = time.monotonic()
        self.stopping = threading.Event()

    def log(self, line):
        if not self.args.log:
            return
        with self.lock, open(self.args.log, "a") as f:
            f.write(line + "\n")

    def batch(self, method, ns, items, ctx):
        items = list(items)
        n = min(self.args.batch, self.max_count)
        now, rest = items[:n], items[n:]
        if rest:
            with self.lock:
                if ctx is None:
                    ctx = f"ctx{self.next_context}"
                    self.next_context += 1
                self.contexts[ctx] = (ns, rest)
        else:
            with self.lock:
                self.contexts.pop(ctx, None)
            ctx = ""
        body = "".join(f"<VALUE.INSTANCEWITHPATH>{instance_path(name, ns)}{inst}"
                       "</VALUE.INSTANCEWITHPATH>" for name, inst in map(with_path, now))
        eos = "FALSE" if rest else "TRUE"
        return response(method, f"<IRETURNVALUE>{body}</IRETURNVALUE>"
                                f'<PARAMVALUE NAME="EndOfSequence"><VALUE>{eos}</VALUE></PARAMVALUE>'
                                f'<PARAMVALUE NAME="EnumerationContext"><VALUE>{ctx}</VALUE>'
                                "</PARAMVALUE>")

    def handle(self, method, body, cimobject=""):
        """(status, headers, body) for one request."""
        if self.pywbem is not None:
            found = self.pywbem.find(method, cimobject, body)
            if found is not None:
                self.log(f"{method} {unquote(cimobject)} (pywbem)")
                return found
        try:
            root = ET.fromstring(body)
        except ET.ParseError as e:
            return 400, [("CIMError", "request-not-well-formed")], str(e)
        call = root.find(".//IMETHODCALL")
        if call is None:
            self.log(f"{method} {unquote(cimobject)}")
            return 200, [], response(method, '<ERROR CODE="7" DESCRIPTION="not recorded"/>',
                                     intrinsic=False)
        if call.get("NAME") != method:
            return 400, [("CIMError", "header-mismatch")], ""
        ns = namespace_of(call)
        p = params_of(call)
        main = next((p[n] for n in ("classname", "instancename", "objectname", "enumerationcontext")
                     if n in p), None)
        key = param_key(main)
        extra = " ".join(f"{n}={param_key(v)}" for n, v in sorted(p.items())
                         if n in ("assocclass", "resultclass", "role", "resultrole",
                                  "maxobjectcount", "deepinheritance", "querylanguage"))
        self.log(f"{method} {ns} {key} {extra}".rstrip())
        self.max_count = int(param_key(p.get("maxobjectcount")) or 1000)
        w, rec = self.world, self.world.rec
        if key == "cimscope_badrequest":
            return rec.file("OpenEnumerateInstances61001")
        known = ["root", "test", "test/cimv2", "test/static", "root/interop"]
        if self.pywbem is not None:
            known += ["root/cimv2", "test/testprovider"]
        if ns not in known:
            return 200, [], renamed(rec.file("EnumerateClassNames20002")[2], method)
        if method == "EnumerateClassNames":
            if ns == "test/cimv2":
                return rec.file("EnumerateClassNames20007")
            names = {"test/static": ["PG_TestPropertyTypes"],
                     "root/interop": ["CIM_Namespace"]}.get(ns, [])
            return 200, [], response(method, "<IRETURNVALUE>" + "".join(
                f'<CLASSNAME NAME="{n}"/>' for n in names) + "</IRETURNVALUE>")
        if method == "EnumerateClasses" and ns == "test/cimv2":
            return rec.file("EnumerateClasses42003")
        if method == "GetClass":
            if ns == "test/cimv2" and key == "cim_installedproductimage":
                return rec.file("GetClass00014")
            if ns == "test/cimv2" and key in w.cimv2_classes:
                return 200, [], response(method, f"<IRETURNVALUE>{w.cimv2_classes[key]}"
                                                 "</IRETURNVALUE>")
            if ns == "test/static" and key == "pg_testpropertytypes" and not self.args.hide_class:
                return 200, [], response(method, f"<IRETURNVALUE>{w.pg_class()}</IRETURNVALUE>")
            return 200, [], rec.file("GetClass00017")[2]
        if method in ("EnumerateInstances", "OpenEnumerateInstances"):
            items = w.source(ns, key)
            if items is None:
                return 200, [], renamed(rec.file("EnumerateInstances51003")[2], method)
            if method == "EnumerateInstances":
                return 200, [], response(method, "<IRETURNVALUE>" + "".join(items) +
                                         "</IRETURNVALUE>")
            if self.args.no_pull:
                return 200, [], error(method, 7, "pull operations are not supported")
            return 200, [], self.batch(method, ns, items, None)
        if method in ("PullInstancesWithPath", "CloseEnumeration"):
            ctx = param_key(main)
            with self.lock:
                found = self.contexts.get(ctx)
                if method == "CloseEnumeration":
                    self.contexts.pop(ctx, None)
            if found is None:
                return 200, [], error(method, 21, "unknown enumeration context")
            if method == "CloseEnumeration":
                return 200, [], response(method, "")
            return 200, [], self.batch(method, found[0], found[1], ctx)
        if method == "GetInstance":
            wanted = main.find("INSTANCENAME") if main is not None else None
            for named in w.source(ns, (wanted.get("CLASSNAME", "") if wanted is not None
                                       else "").lower()) or []:
                name, inst = with_path(named, "")
                if keys_of(ET.fromstring(name)) == keys_of(wanted):
                    return 200, [], response(method, f"<IRETURNVALUE>{inst}</IRETURNVALUE>")
            return 200, [], rec.file("GetInstance52000")[2]
        if method in ("Associators", "References"):
            obj = main.find("INSTANCENAME") if main is not None else None
            if obj is None:
                return 200, [], rec.file("Associators33000" if method == "Associators"
                                         else "References45000")[2]
            items = w.source(ns, obj.get("CLASSNAME", "").lower()) or []
            others = [with_path(i, "") for i in items
                      if keys_of(ET.fromstring(with_path(i, "")[0])) != keys_of(obj)]
            return 200, [], response(method, "<IRETURNVALUE>" + "".join(
                f"<VALUE.OBJECTWITHPATH>{instance_path(n, ns)}{i}</VALUE.OBJECTWITHPATH>"
                for n, i in others) + "</IRETURNVALUE>")
        if method == "ExecQuery":
            return 200, [], error(method, 14, "WQL is not supported here")
        return 200, [], error(method, 7, "not recorded")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        pass

    def reply(self, status, headers, body):
        data = body.encode("utf-8")
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if status == 200:
            self.send_header("CIMOperation", "MethodResponse")
        self.send_header("Content-Type", 'application/xml; charset="utf-8"')
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_POST(self):
        state = self.server.state
        state.last = time.monotonic()
        length = int(self.headers.get("Content-Length") or 0)
        if length > MAX_BODY:
            self.close_connection = True
            return self.reply(413, [], "")
        body = self.rfile.read(length).decode("utf-8", "replace")
        args = state.args
        if args.user is not None:
            expected = "Basic " + base64.b64encode(
                f"{args.user}:{args.password}".encode()).decode()
            if self.headers.get("Authorization") != expected:
                state.log("401")
                return self.reply(401, [("WWW-Authenticate", 'Basic realm="cimom"')], "")
        if self.path != "/cimom" or self.headers.get("CIMOperation") != "MethodCall":
            return self.reply(400, [("CIMError", "header-mismatch")], "")
        method = unquote(self.headers.get("CIMMethod", ""))
        try:
            status, headers, text = state.handle(method, body,
                                                 self.headers.get("CIMObject", ""))
        except Exception as e:  # a fault of this script shows in the test's output
            print(f"cimxml_replay: {type(e).__name__}: {e}", file=sys.stderr, flush=True)
            status, headers, text = 500, [], ""
        self.reply(status, headers, text)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    block_on_close = False

    def __init__(self, address, tls):
        super().__init__(address, Handler)
        self.tls = tls

    def get_request(self):
        sock, addr = self.socket.accept()
        if self.tls is not None:
            sock = self.tls.wrap_socket(sock, server_side=True, do_handshake_on_connect=False)
        return sock, addr

    def handle_error(self, request, client_address):
        pass


def main():
    ap = argparse.ArgumentParser(description="CIM-XML replay server for tests (127.0.0.1 only)")
    ap.add_argument("--fixtures", required=True, help="<shared fixtures>/cimxml/openpegasus")
    ap.add_argument("--tls", action="store_true")
    ap.add_argument("--user")
    ap.add_argument("--password")
    ap.add_argument("--batch", type=int, default=1000)
    ap.add_argument("--no-pull", action="store_true")
    ap.add_argument("--hide-class", action="store_true")
    ap.add_argument("--log")
    ap.add_argument("--pywbem", help="<shared fixtures>/cimxml/pywbem")
    args = ap.parse_args()
    if (args.user is None) != (args.password is None):
        ap.error("--user and --password go together")
    if args.batch < 1:
        ap.error("--batch must be at least 1")
    world = World(Recordings(args.fixtures), args.hide_class)
    tmp = None
    try:
        tls = None
        if args.tls:
            tmp = tempfile.mkdtemp(prefix="cimscope-cimxml-replay-")
            ca_pem, pem, key = make_certificates(tmp)
            tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            tls.load_cert_chain(pem, key)
        httpd = Server(("127.0.0.1", 0), tls)
        pywbem = PywbemCases(args.pywbem) if args.pywbem else None
        state = httpd.state = State(args, world, pywbem)

        def stop(*_):
            state.stopping.set()

        signal.signal(signal.SIGTERM, stop)

        def watch_stdin():
            try:
                while os.read(sys.stdin.fileno(), 4096):
                    pass
            except OSError:
                pass
            stop()

        threading.Thread(target=watch_stdin, daemon=True).start()
        threading.Thread(target=httpd.serve_forever, kwargs={"poll_interval": 0.2},
                         daemon=True).start()
        print(f"PORT {httpd.server_address[1]}", flush=True)
        if args.tls:
            print(f"CERT {ca_pem}", flush=True)
        while not state.stopping.wait(1.0):
            if time.monotonic() - state.last > IDLE_SECONDS:
                break
        httpd.shutdown()
        httpd.server_close()
    finally:
        if tmp:
            shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
