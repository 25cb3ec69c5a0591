#!/usr/bin/python3
"""WinRM replay server for the tests of Cimscope's WS-Management client.

Answers SOAP POSTs at /wsman on 127.0.0.1 (port chosen by the kernel) with
replies recorded from real Windows servers (--fixtures DIR, i.e.
<shared fixtures>/wsman) and a few hand-made ones (--ours DIR, default
fixtures/ beside this script). A request is matched by its Action,
ResourceURI, selectors and body, never by its MessageID. Replies are served
as text so that recorded bytes stay as Windows sent them; the only edits are
a:RelatesTo (set to the request's a:MessageID, inserted when the recording
has none), p:OperationID (echoed when the request has one) and whatever is
stated as synthesized below.

Routing (class and namespace names compare case-insensitively):

  body wsmid:Identify (no Action)          -> server2016/01_Res_Hello.xml
  transfer/Get on CIM-XML metadata          (http://schemas.dmtf.org/wbem/cim-xml/2/cim-schema/2/*,
                                             selectors __cimnamespace, ClassName)
      Win32_DiskDrive                      -> server2016/03_Res_schema.xml
      Win32_Process                        -> ours/win32_process_class.xml
      a class of ours/class_list_extra.xml -> 03's envelope around that <CLASS>
      anything else, or a namespace other
      than root/cimv2                      -> ours/not_found_fault.xml (CIM status 6, 0x80041002)
  enumeration/Enumerate on CIM-XML metadata -> the class list: <CLASS> items (Win32_DiskDrive,
                                             Win32_Process and the bare classes), empty for a
                                             namespace other than root/cimv2; ClassName ignored
  enumeration/Enumerate on a WMI resource:
      .../wsman/1/wmi/<ns>/* with a WQL w:Filter (n:Filter accepted too), or a class named by
      .../wsman/1/wmi/<ns>/<Class> or .../wscim/1/cim-schema/2/<Class> (namespace from the
      __cimnamespace selector, default root/cimv2). The class is the word after FROM.
      Win32_DiskDrive      -> the w:Items of server2016/02_Res_enum + 04_Res_pull (4 disks)
      Win32_Process        -> the items of server2008r2/enumerate_1.xml (2 processes); with
                              EnumerateObjectAndEPR each is wrapped in w:Item with a synthesized
                              a:EndpointReference (ResourceURI .../wmi/root/cimv2/Win32_Process,
                              selectors Handle and __cimnamespace)
      __NAMESPACE          -> synthesized items: under root: cimv2, SECURITY, StandardCimv2,
                              subscription, WMI; under root/cimv2: mdm, Security; none elsewhere
      ASSOCIATORS OF {..} / REFERENCES OF {..}
                           -> the Win32_DiskDrive items, whatever the object path
      Cimscope_WsmanFault  -> server2008r2/wsman_fault.xml  (WSManFault detail)
      Cimscope_WmiError    -> server2008r2/wmi_error_v2.xml (MSFT_WmiError detail)
      Cimscope_QuotaFault  -> server2008r2/wmi_error_v2.xml (it is the w:QuotaLimit fault)
      any other class, a data class outside root/cimv2, or a filter without a class
                           -> server2008r2/soap_fault_v2.xml (class does not exist)
      a filter dialect other than WQL -> synthesized w:FilterDialectRequestedUnavailable fault
      Modes: EnumerateObject (default), EnumerateEPR, EnumerateObjectAndEPR.
  enumeration/Pull     -> next batch; n:EndOfSequence and no context on the last one
  enumeration/Release  -> empty ReleaseResponse, context forgotten
  wsman/End            -> empty envelope (the server has nothing to cancel)
  transfer/Get on a WMI instance (Win32_DiskDrive by DeviceID, Win32_Process by Handle)
                       -> 03's envelope around the recorded object; unknown key -> not-found fault
  <ResourceURI>/<Method> on a WMI resource, body <Method>_INPUT
                       -> server2008r2/invoke_1.xml renamed to <Method>_OUTPUT with
                          ReturnValue 0 (Win32_Process Create adds ProcessId 4242)
  anything else        -> synthesized a:ActionNotSupported fault
  unknown or finished enumeration context -> synthesized n:InvalidEnumerationContext fault

Batching: the EnumerateResponse carries items only when the request has
w:OptimizeEnumeration. A batch holds at most MaxElements items (w:MaxElements
in Enumerate, n:MaxElements in Pull; default 1 as WS-Enumeration says) and,
as WinRM does, stops before the envelope would pass the request's
w:MaxEnvelopeSize (default 512000), always holding at least one item.
Items are made per batch, so --repeat 30000 costs nothing up front.

--profile 2008r2: the CIM-XML metadata resource does not exist (Windows 7 /
Server 2008 R2 have none): every request to it gets a synthesized
a:DestinationUnreachable fault, WinRM's answer to a resource URI it does not
serve. WMI objects come without EPRs even if asked.

Faults are sent with HTTP 500. Synthesized faults (ours/fault_template.xml)
carry Code, Subcode and Reason but no WSManFault detail: we do not claim
Windows error numbers we have not seen.

HTTP: HTTP/1.1 keep-alive, Content-Length always set. With --user/--password,
Basic auth is required (401 with WWW-Authenticate: Basic realm="WSMAN" and an
empty body otherwise). A malformed envelope gets 400, a body over 1 MB 413,
another path 404.

--negotiate DOMAIN:user:password (repeatable): Negotiate through GSSAPI with
gss-ntlmssp as the acceptor (NTLM; the users go to a temporary
NTLM_USER_FILE of this process only; needs Debian's python3-gssapi). A
connection authenticates with empty-bodied requests (401 with the next
WWW-Authenticate: Negotiate token, then 200); after that, over plain HTTP,
request bodies must come sealed as multipart/encrypted (WinRM's message
encryption) and replies go out sealed the same way. A plain body on an
authenticated connection gets 400, a seal that does not open 400; a request
without Authorization on a connection not authenticated 401 (an Identify
marked WSMANIDENTIFY: unauthenticated is answered in the clear).
--keytab FILE takes Kerberos too (the realm from KRB5_CONFIG, the service
keys from FILE); Kerberos replies are sealed with the token header first.
--break-signature flips a bit of the first sealed reply's signature; --drop
closes the connection silently after every sealed reply.

Start-up prints "PORT <n>" (and with --tls "CERT <CA certificate PEM>") on
stdout, one line each, then serves. The server stops by itself when its stdin
closes, after 300 s without requests, or on SIGTERM/SIGINT.

--log FILE appends one line per request:
  <Action> <ResourceURI> <selectors> <auth-ok|auth-fail>[ filter=<WQL>][ context=<id>][ params=<k=v,..>][ password-leak]
Identify is logged as the Action "Identify"; a missing field as "-";
selectors are k=v joined by ",", with "%", ",", "=" and whitespace
percent-encoded. "password-leak" marks a request that carried the --password
text anywhere but the Authorization header (path, other headers, body). The
Authorization header itself is never logged.
With --negotiate, a data request's line also carries "sealed" or "plain",
and a sealed one frame=<layout>: the framing with the signature and data
replaced by their lengths and the Length value by N, percent-encoded; a
finished handshake logs "Handshake - - auth-ok user=<DOMAIN%5Cuser>", a
refused one "Handshake - - auth-fail".
"""

import argparse
import base64
import binascii
import hmac
import os
import re
import select
import shutil
import signal
import socket
import ssl
import string
import subprocess
import sys
import tempfile
import threading
import time
import uuid
import xml.etree.ElementTree as ET
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from xml.sax.saxutils import escape

NS_S = "http://www.w3.org/2003/05/soap-envelope"
NS_A = "http://schemas.xmlsoap.org/ws/2004/08/addressing"
NS_N = "http://schemas.xmlsoap.org/ws/2004/09/enumeration"
NS_W = "http://schemas.dmtf.org/wbem/wsman/1/wsman.xsd"
NS_P = "http://schemas.microsoft.com/wbem/wsman/1/wsman.xsd"
NS_WSMID = "http://schemas.dmtf.org/wbem/wsman/identity/1/wsmanidentity.xsd"

ACT_ENUM = "http://schemas.xmlsoap.org/ws/2004/09/enumeration/"
ACT_GET = "http://schemas.xmlsoap.org/ws/2004/09/transfer/Get"
ACT_END = "http://schemas.microsoft.com/wbem/wsman/1/wsman/End"
ANONYMOUS = "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous"

CIMXML_URI = "http://schemas.dmtf.org/wbem/cim-xml/2/cim-schema/2/*"
WMI_PREFIX = "http://schemas.microsoft.com/wbem/wsman/1/wmi/"
CIM_PREFIX = "http://schemas.dmtf.org/wbem/wscim/1/cim-schema/2/"
CIM_ALL = "http://schemas.dmtf.org/wbem/wscim/1/*"
WQL_DIALECT = "http://schemas.microsoft.com/wbem/wsman/1/WQL"

MAX_BODY = 1024 * 1024
IDLE_SECONDS = 300
HANG_SECONDS = 300
MAX_CONNECTIONS = 64
MAX_CONTEXTS = 256
DEFAULT_ENVELOPE = 512000

NAMESPACES = {
    "root": ["cimv2", "SECURITY", "StandardCimv2", "subscription", "WMI"],
    "root/cimv2": ["mdm", "Security"],
}


class BadRequest(Exception):
    pass


# ---------------------------------------------------------------- requests

def _text(parent, tag):
    if parent is None:
        return None
    el = parent.find(tag)
    return None if el is None else (el.text or "").strip()


class Request:
    """The parts of a WS-Man envelope the routing looks at."""

    def __init__(self, body):
        if b"<!DOCTYPE" in body or b"<!ENTITY" in body:
            raise BadRequest("DTDs are not allowed in SOAP")
        try:
            root = ET.fromstring(body)
        except ET.ParseError as e:
            raise BadRequest(f"not XML: {e}")
        if root.tag != f"{{{NS_S}}}Envelope":
            raise BadRequest("not a SOAP 1.2 envelope")
        header = root.find(f"{{{NS_S}}}Header")
        body_el = root.find(f"{{{NS_S}}}Body")
        if body_el is None:
            raise BadRequest("no s:Body")
        self.action = _text(header, f"{{{NS_A}}}Action")
        self.message_id = _text(header, f"{{{NS_A}}}MessageID")
        self.resource_uri = _text(header, f"{{{NS_W}}}ResourceURI")
        self.operation_id = _text(header, f"{{{NS_P}}}OperationID")
        size = _text(header, f"{{{NS_W}}}MaxEnvelopeSize")
        self.max_envelope = _positive(size, DEFAULT_ENVELOPE) if size else DEFAULT_ENVELOPE
        self.selectors = []
        sel_set = None if header is None else header.find(f"{{{NS_W}}}SelectorSet")
        if sel_set is not None:
            for sel in sel_set.findall(f"{{{NS_W}}}Selector"):
                self.selectors.append((sel.get("Name", ""), (sel.text or "").strip()))
        children = list(body_el)
        self.payload = children[0] if children else None

    def selector(self, name):
        for k, v in self.selectors:
            if k.lower() == name.lower():
                return v
        return None

    def child(self, *tags):
        if self.payload is None:
            return None
        for tag in tags:
            el = self.payload.find(tag)
            if el is not None:
                return el
        return None


def _positive(text, default):
    if text is None:
        return default
    try:
        value = int(text.strip())
    except ValueError:
        raise BadRequest(f"not a number: {text!r}")
    if value < 1:
        raise BadRequest(f"not positive: {text!r}")
    return value


def _local(tag):
    return tag.rsplit("}", 1)[-1]


# ---------------------------------------------------------------- item lists

def _slices(text, pattern):
    return re.findall(pattern, text, re.S)


def _wrap_item(obj, epr):
    return f'<w:Item xmlns:w="{NS_W}">{obj}{epr}</w:Item>'


def _epr(resource, selectors):
    sels = "".join(f'<w:Selector Name="{k}">{escape(v)}</w:Selector>' for k, v in selectors)
    return (f'<a:EndpointReference xmlns:a="{NS_A}" xmlns:w="{NS_W}">'
            f"<a:Address>{ANONYMOUS}</a:Address><a:ReferenceParameters>"
            f"<w:ResourceURI>{resource}</w:ResourceURI><w:SelectorSet>{sels}"
            "</w:SelectorSet></a:ReferenceParameters></a:EndpointReference>")


class Source:
    """A list of `count` items made on demand: base entries repeated until the
    list is `repeat` items long (the entries once when repeat is 1).

    An entry is (object text, EPR text or None, recorded w:Item text or None).
    """

    def __init__(self, entries, repeat=1, vary=None):
        self.entries = entries
        self.count = len(entries) if repeat <= 1 else repeat
        self.vary = vary  # (text, round) -> text, for copies after the first

    def item(self, i, mode):
        obj, epr, recorded = self.entries[i % len(self.entries)]
        rnd = i // len(self.entries)
        if mode == "object" or epr is None:
            out = obj
        elif mode == "epr":
            out = epr
        else:
            out = recorded if recorded is not None else _wrap_item(obj, epr)
        if rnd and self.vary:
            out = self.vary(out, rnd)
        return out


class Library:
    """Everything read from the fixtures, loaded once at start."""

    def __init__(self, fixtures, ours, repeat):
        def read(base, name):
            with open(os.path.join(base, name), encoding="utf-8") as f:
                return f.read()

        self.repeat = repeat
        r16 = lambda n: read(os.path.join(fixtures, "server2016"), n)
        r08 = lambda n: read(os.path.join(fixtures, "server2008r2"), n)
        self.hello = r16("01_Res_Hello.xml")
        self.enum16 = r16("02_Res_enum.xml")
        self.schema = r16("03_Res_schema.xml")
        self.pull16 = r16("04_Res_pull.xml")
        self.enum08 = r08("enumerate_1.xml")
        self.invoke = r08("invoke_1.xml")
        self.soap_fault = r08("soap_fault_v2.xml")
        self.wmi_error = r08("wmi_error_v2.xml")
        self.wsman_fault = r08("wsman_fault.xml")
        self.process_class = read(ours, "win32_process_class.xml")
        self.not_found = read(ours, "not_found_fault.xml")
        self.fault_template = string.Template(read(ours, "fault_template.xml"))

        # Disks: the two of the Enumerate and the three of the Pull.
        self.disks = []
        for text in (self.enum16, self.pull16):
            for item in _slices(text, r"<w:Item\b[^>]*>.*?</w:Item>"):
                obj = _slices(item, r"<p:Win32_DiskDrive\b.*?</p:Win32_DiskDrive>")[0]
                epr = _slices(item, r"<a:EndpointReference\b.*?</a:EndpointReference>")[0]
                key = re.search(r"<p:DeviceID>(.*?)</p:DeviceID>", obj).group(1)
                self.disks.append((obj, epr, item, key))

        # Processes: objects only; EPRs are made from the Handle.
        self.processes = []
        for obj in _slices(self.enum08, r"<p:Win32_Process\b.*?</p:Win32_Process>"):
            handle = re.search(r"<p:Handle>(\d+)</p:Handle>", obj).group(1)
            self.processes.append((obj, handle))
        # Copies get Handle/ProcessId shifted by a stride above every recorded one.
        self.stride = max(int(h) for _, h in self.processes) + 4

        # Classes for the class list and Get, by lower-case name.
        extra = read(ours, "class_list_extra.xml")
        self.classes = {}
        for text in (self.schema, self.process_class, extra):
            for cls in _slices(text, r"<CLASS\b.*?</CLASS>"):
                name = re.match(r'<CLASS NAME="([^"]+)"', cls).group(1)
                self.classes[name.lower()] = cls

    # -- sources
    def disk_source(self, epr_ok):
        entries = [(o, e if epr_ok else None, i if epr_ok else None) for o, e, i, _ in self.disks]
        return Source(entries, self.repeat)

    def process_entry(self, obj, handle, epr_ok):
        if not epr_ok:
            return (obj, None, None)
        resource = WMI_PREFIX + "root/cimv2/Win32_Process"
        return (obj, _epr(resource, [("Handle", handle), ("__cimnamespace", "root/cimv2")]), None)

    def process_source(self, epr_ok):
        stride = self.stride

        def vary(text, rnd):
            def shift(m):
                return f"{m.group(1)}{int(m.group(2)) + rnd * stride}{m.group(3)}"
            text = re.sub(r"(<p:Handle>)(\d+)(</p:Handle>)", shift, text)
            text = re.sub(r"(<p:ProcessId>)(\d+)(</p:ProcessId>)", shift, text)
            return re.sub(r'(<w:Selector Name="Handle">)(\d+)(</w:Selector>)', shift, text)

        entries = [self.process_entry(o, h, epr_ok) for o, h in self.processes]
        return Source(entries, self.repeat, vary)

    def namespace_source(self, ns, epr_ok):
        entries = []
        for name in NAMESPACES.get(ns.lower(), []):
            resource = f"{WMI_PREFIX}{ns}/__NAMESPACE"
            obj = (f'<p:__NAMESPACE xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" '
                   f'xmlns:p="{resource}" xmlns:cim="http://schemas.dmtf.org/wbem/wscim/1/common" '
                   f'xsi:type="p:__NAMESPACE_Type"><p:Name>{name}</p:Name></p:__NAMESPACE>')
            epr = _epr(resource, [("Name", name), ("__cimnamespace", ns)]) if epr_ok else None
            entries.append((obj, epr, None))
        return Source(entries, self.repeat)

    def class_source(self, ns):
        if ns.lower() != "root/cimv2":
            return Source([], 1)
        return Source([(c, None, None) for c in self.classes.values()], self.repeat)

    def find_instance(self, cls, req):
        """The recorded object that a Get names by its key, or None."""
        if cls == "win32_diskdrive":
            key = req.selector("DeviceID")
            return next((o for o, _, _, k in self.disks if k == key), None)
        if cls == "win32_process":
            key = req.selector("Handle")
            if key is None or not key.isdigit():
                return None
            h = int(key)
            rnd, base = divmod(h, self.stride)
            if rnd * len(self.processes) + 1 > max(len(self.processes), self.repeat):
                return None
            for obj, handle in self.processes:
                if int(handle) == base:
                    return self.process_source(False).vary(obj, rnd) if rnd else obj
        return None



# ---------------------------------------------------------------- replies

class Reply:
    def __init__(self, text, status=200):
        self.text = text
        self.status = status


def _section(text, start_tag, end_tag):
    """(head, tail) of a recording around the element start_tag..end_tag."""
    i = text.index(start_tag)
    j = text.index(end_tag, i) + len(end_tag)
    return text[:i], text[j:]


def _relate(text, req):
    """Point the reply's RelatesTo at the request and echo its OperationID."""
    if req is not None and req.operation_id:
        text = re.sub(r"(<p:OperationID\b[^>]*>)[^<]*(</p:OperationID>)",
                      lambda m: m.group(1) + escape(req.operation_id) + m.group(2), text, count=1)
    if req is None or not req.message_id:
        return text
    mid = escape(req.message_id)
    new, n = re.subn(r"(<a:RelatesTo>)[^<]*(</a:RelatesTo>)",
                     lambda m: m.group(1) + mid + m.group(2), text, count=1)
    if n:
        return new
    end = text.find("</s:Header>")
    if end < 0:
        return text
    declared = "xmlns:a=" in text[:end]
    element = "<a:RelatesTo" + ("" if declared else f' xmlns:a="{NS_A}"') + f">{mid}</a:RelatesTo>"
    at = end
    while at > 0 and text[at - 1] in " \t\r\n":
        at -= 1
    line_start = text.rfind("\n", 0, at) + 1
    indent = re.match(r"[ \t]*", text[line_start:]).group(0)
    if text[at - 1] != ">" or text[at - len("<s:Header>"):at] == "<s:Header>":
        indent += "    "
    return text[:at] + "\n" + indent + element + text[at:]


class Contexts:
    """Open enumerations, bounded; the oldest is dropped when full."""

    def __init__(self):
        self.lock = threading.Lock()
        self.items = {}

    def open(self, source, pos, mode):
        ctx = f"uuid:{str(uuid.uuid4()).upper()}"
        with self.lock:
            while len(self.items) >= MAX_CONTEXTS:
                self.items.pop(next(iter(self.items)))
            self.items[ctx] = {"source": source, "pos": pos, "mode": mode,
                               "lock": threading.Lock()}
        return ctx

    def get(self, ctx):
        with self.lock:
            return self.items.get(ctx)

    def drop(self, ctx):
        with self.lock:
            return self.items.pop(ctx, None) is not None


class Server:
    def __init__(self, args):
        self.args = args
        self.lib = Library(args.fixtures, args.ours, args.repeat)
        self.contexts = Contexts()
        self.profile08 = args.profile == "2008r2"
        enum_src = self.lib.enum08 if self.profile08 else self.lib.enum16
        self.enum_head, self.enum_tail = _section(enum_src, "<n:EnumerateResponse>",
                                                  "</n:EnumerateResponse>")
        self.pull_head, self.pull_tail = _section(self.lib.pull16, "<n:PullResponse>",
                                                  "</n:PullResponse>")
        self.get_head, self.get_tail = _section(self.lib.schema, "<CLASS", "</CLASS>")

    # -- helpers
    def fault(self, action, subcode, reason, code="s:Sender"):
        text = self.lib.fault_template.substitute(
            action=action, message_id=str(uuid.uuid4()).upper(), code=code,
            subcode=subcode, reason=escape(reason))
        return Reply(text, 500)

    def get_response(self, inner):
        return Reply(self.get_head + inner + self.get_tail)

    def batch(self, source, start, max_elements, mode, budget):
        items, size, i = [], 0, start
        while i < source.count and len(items) < max_elements:
            text = source.item(i, mode)
            if items and size + len(text.encode("utf-8")) > budget:
                break
            items.append(text)
            size += len(text.encode("utf-8"))
            i += 1
        return items, i

    # -- dispatch
    def handle(self, req):
        if req.payload is not None and req.payload.tag == f"{{{NS_WSMID}}}Identify":
            return Reply(self.lib.hello)
        action = req.action or ""
        resource = req.resource_uri or ""
        if action == ACT_ENUM + "Pull":
            return self.pull(req)
        if action == ACT_ENUM + "Release":
            ctx = _text(req.payload, f"{{{NS_N}}}EnumerationContext")
            if ctx is None or not self.contexts.drop(ctx):
                return self.invalid_context()
            head = self.enum_head.replace(ACT_ENUM + "EnumerateResponse", ACT_ENUM + "ReleaseResponse")
            return Reply(head + self.enum_tail)
        if action == ACT_END:
            return Reply(f'<s:Envelope xmlns:s="{NS_S}" xmlns:a="{NS_A}"><s:Header>'
                         "</s:Header><s:Body></s:Body></s:Envelope>")
        if resource.lower() == CIMXML_URI.lower() and action in (ACT_GET, ACT_ENUM + "Enumerate"):
            if self.profile08:
                return self.fault("http://schemas.xmlsoap.org/ws/2004/08/addressing/fault",
                                  "a:DestinationUnreachable",
                                  "The WS-Management service cannot process the request "
                                  "because the resource URI is not supported.")
            ns = _norm_ns(req.selector("__cimnamespace") or "root/cimv2")
            if action == ACT_GET:
                return self.get_class(req, ns)
            return self.enumerate(req, self.lib.class_source(ns), "object")
        target = _wmi_target(resource, req)
        if target is not None and action == ACT_ENUM + "Enumerate":
            return self.enumerate_wmi(req, *target)
        if target is not None and action == ACT_GET and target[1] != "*":
            obj = self.lib.find_instance(target[1].lower(), req) \
                if target[0].lower() == "root/cimv2" else None
            return self.get_response(obj) if obj else Reply(self.lib.not_found, 500)
        if target is not None and target[1] != "*" and action.lower().startswith(resource.lower() + "/"):
            return self.invoke(req, target[1], action[len(resource) + 1:])
        return self.fault("http://schemas.xmlsoap.org/ws/2004/08/addressing/fault",
                          "a:ActionNotSupported",
                          f"The action is not supported by the service: {action or '(none)'}")

    def invalid_context(self):
        return self.fault(ACT_ENUM + "fault", "n:InvalidEnumerationContext",
                          "The enumeration context supplied in the message is not valid.",
                          code="s:Receiver")

    def get_class(self, req, ns):
        name = (req.selector("ClassName") or "").lower()
        if ns.lower() != "root/cimv2" or name not in self.lib.classes:
            return Reply(self.lib.not_found, 500)
        if name == "win32_diskdrive":
            return Reply(self.lib.schema)
        if name == "win32_process":
            return Reply(self.lib.process_class)
        return self.get_response(self.lib.classes[name])

    def enumerate_wmi(self, req, ns, cls):
        flt = req.child(f"{{{NS_W}}}Filter", f"{{{NS_N}}}Filter")
        if flt is not None:
            dialect = flt.get("Dialect", WQL_DIALECT)
            if dialect != WQL_DIALECT:
                return self.fault(ACT_ENUM + "fault", "n:FilterDialectRequestedUnavailable",
                                  f"The filter dialect is not supported: {dialect}")
            query = (flt.text or "").strip()
            if re.match(r"(?is)\s*(associators|references)\s+of\b", query):
                cls = "win32_diskdrive"
            else:
                m = re.search(r"(?is)\bfrom\s+([A-Za-z_][A-Za-z0-9_]*)", query)
                cls = m.group(1) if m else ""
        cls = cls.lower()
        if cls == "cimscope_wsmanfault":
            return Reply(self.lib.wsman_fault, 500)
        if cls in ("cimscope_wmierror", "cimscope_quotafault"):
            return Reply(self.lib.wmi_error, 500)
        mode = _mode(req)
        epr_ok = mode != "object" and not self.profile08
        if self.profile08:
            mode = "object"
        if cls == "__namespace":
            return self.enumerate(req, self.lib.namespace_source(ns, epr_ok), mode)
        if ns.lower() == "root/cimv2" and cls == "win32_diskdrive":
            return self.enumerate(req, self.lib.disk_source(epr_ok), mode)
        if ns.lower() == "root/cimv2" and cls == "win32_process":
            return self.enumerate(req, self.lib.process_source(epr_ok), mode)
        return Reply(self.lib.soap_fault, 500)

    def enumerate(self, req, source, mode):
        optimize = req.child(f"{{{NS_W}}}OptimizeEnumeration") is not None
        max_el = _positive(_text(req.payload, f"{{{NS_W}}}MaxElements"), 1)
        budget = req.max_envelope - len(self.enum_head) - len(self.enum_tail) - 1024
        items, pos = self.batch(source, 0, max_el, mode, budget) if optimize else ([], 0)
        done = optimize and pos >= source.count
        body = "<n:EnumerateResponse>"
        if not done:
            body += f"<n:EnumerationContext>{self.contexts.open(source, pos, mode)}</n:EnumerationContext>"
        if optimize:
            body += "<w:Items>" + "\n".join(items) + "</w:Items>"
        if done:
            body += "<w:EndOfSequence/>"
        body += "</n:EnumerateResponse>"
        return Reply(self.enum_head + body + self.enum_tail)

    def pull(self, req):
        ctx = _text(req.payload, f"{{{NS_N}}}EnumerationContext")
        state = self.contexts.get(ctx) if ctx else None
        if state is None:
            return self.invalid_context()
        max_el = _positive(_text(req.payload, f"{{{NS_N}}}MaxElements"), 1)
        budget = req.max_envelope - len(self.pull_head) - len(self.pull_tail) - 1024
        with state["lock"]:
            items, pos = self.batch(state["source"], state["pos"], max_el, state["mode"], budget)
            state["pos"] = pos
        done = pos >= state["source"].count
        body = "<n:PullResponse>"
        if done:
            self.contexts.drop(ctx)
        else:
            body += f"<n:EnumerationContext>{ctx}</n:EnumerationContext>"
        body += "<n:Items>" + "\n".join(items) + "</n:Items>"
        if done:
            body += "<n:EndOfSequence/>"
        body += "</n:PullResponse>"
        return Reply(self.pull_head + body + self.pull_tail)

    def invoke(self, req, cls, method):
        if not re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", method) or req.payload is None \
                or _local(req.payload.tag) != method + "_INPUT":
            return self.fault("http://schemas.dmtf.org/wbem/wsman/1/wsman/fault",
                              "w:InvalidParameter",
                              f"The body must be a {method}_INPUT element.")
        old = "http://schemas.microsoft.com/wbem/wsman/1/wmi/root/cimv2/CIM_DataFile"
        text = self.lib.invoke.replace(old + "/DeleteResponse", escape(req.action) + "Response")
        text = text.replace(f'xmlns:p="{old}"', f'xmlns:p="{escape(req.resource_uri)}"')
        text = text.replace("Delete_OUTPUT", method + "_OUTPUT")
        if cls.lower() == "win32_process" and method.lower() == "create":
            text = re.sub(r"(\s*)(<p:ReturnValue>)", r"\1<p:ProcessId>4242</p:ProcessId>\1\2",
                          text, count=1)
        return Reply(text)


def _norm_ns(ns):
    return ns.replace("\\", "/").strip("/")


def _mode(req):
    text = (_text(req.payload, f"{{{NS_W}}}EnumerationMode") or "").lower()
    return {"enumerateobjectandepr": "both", "enumerateepr": "epr"}.get(text, "object")


def _wmi_target(resource, req):
    """(namespace, class or '*') named by a WMI/CIM resource URI, or None."""
    low = resource.lower()
    if low.startswith(WMI_PREFIX):
        rest = resource[len(WMI_PREFIX):]
        if "/" not in rest:
            return None
        ns, cls = rest.rsplit("/", 1)
        return _norm_ns(ns), cls
    if low.startswith(CIM_PREFIX.lower()) or low == CIM_ALL.lower():
        ns = _norm_ns(req.selector("__cimnamespace") or "root/cimv2")
        return ns, resource.rsplit("/", 1)[1]
    return None


# ---------------------------------------------------------------- HTTP

ENC_TYPE = ('multipart/encrypted;protocol="application/HTTP-SPNEGO-session-encrypted";'
            'boundary="Encrypted Boundary"')
ENC_BOUNDARY = b"--Encrypted Boundary\r\n"
ENC_END = b"--Encrypted Boundary--\r\n"
ENC_PROTOCOL = b"application/HTTP-SPNEGO-session-encrypted"


def split_sealed(body):
    """(signature, data, original length, layout) of a sealed body, or None."""
    m = re.match(rb"--Encrypted Boundary\r\n\tContent-Type: application/HTTP-SPNEGO-session-encrypted\r\n"
                 rb"\tOriginalContent: type=application/soap\+xml;charset=UTF-8;Length=(\d+)\r\n"
                 rb"--Encrypted Boundary\r\n\tContent-Type: application/octet-stream\r\n",
                 body)
    if not m or not body.endswith(ENC_END) or len(body) < m.end() + 4 + len(ENC_END):
        return None
    payload = body[m.end():len(body) - len(ENC_END)]
    n = int.from_bytes(payload[:4], "little")
    if n == 0 or 4 + n > len(payload):
        return None
    sig, data = payload[4:4 + n], payload[4 + n:]
    head = body[:m.start(1)] + b"N" + body[m.end(1):m.end()]
    layout = _enc(head.decode("latin-1")) + f"|{n}|{len(data)}|" + _enc(ENC_END.decode())
    return sig, data, int(m.group(1)), layout


def seal(ctx, plain):
    import gssapi
    if ctx.mech == gssapi.MechType.kerberos:
        # The header first, with the trailer rotated into it, as Windows does.
        from gssapi.raw import IOV, IOVBufferType, wrap_iov
        iov = IOV(IOVBufferType.header, plain, IOVBufferType.padding, std_layout=False)
        wrap_iov(ctx, iov, confidential=True)
        sig, data = iov[0].value, iov[1].value + (iov[2].value or b"")
    else:
        token = ctx.wrap(plain, True).message
        sig, data = token[:16], token[16:]  # NTLM: the signature leads
    return (ENC_BOUNDARY + b"\tContent-Type: " + ENC_PROTOCOL + b"\r\n"
            + b"\tOriginalContent: type=application/soap+xml;charset=UTF-8;Length="
            + str(len(plain)).encode() + b"\r\n" + ENC_BOUNDARY
            + b"\tContent-Type: application/octet-stream\r\n"
            + len(sig).to_bytes(4, "little") + sig + data + ENC_END)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "Microsoft-HTTPAPI/2.0"
    sys_version = ""
    timeout = 120  # an idle keep-alive connection does not hold a thread for ever

    def log_message(self, fmt, *args):
        pass

    def setup(self):
        self.gss = None  # this connection's acceptor context (--negotiate)
        super().setup()
        if isinstance(self.connection, ssl.SSLSocket):
            self.connection.do_handshake()

    def send(self, status, body=b"", extra=(), ctype="application/soap+xml;charset=UTF-8"):
        self.send_response(status)
        if body:
            self.send_header("Content-Type", ctype)
        for k, v in extra:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if body:
            self.wfile.write(body)

    def read_body(self):
        """The request body, or None after answering 411/413."""
        if "chunked" in (self.headers.get("Transfer-Encoding") or "").lower():
            parts, total = [], 0
            while True:
                line = self.rfile.readline(100)
                size = int(line.split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline(1000) not in (b"\r\n", b"\n", b""):
                        pass
                    return b"".join(parts)
                total += size
                if total > MAX_BODY:
                    self.close_connection = True
                    self.send(413)
                    return None
                parts.append(self.rfile.read(size))
                self.rfile.readline(10)
        length = self.headers.get("Content-Length")
        if length is None or not length.strip().isdigit():
            self.close_connection = True
            self.send(411)
            return None
        length = int(length)
        if length > MAX_BODY:
            self.close_connection = True
            self.send(413)
            return None
        return self.rfile.read(length)

    def do_POST(self):
        state = self.server.state
        state.begin()
        try:
            self.serve_post(state)
        finally:
            state.end()

    def serve_post(self, state):
        try:
            body = self.read_body()
        except ValueError:
            self.close_connection = True
            self.send(400)
            return
        if body is None:
            return
        if self.path.split("?", 1)[0] != "/wsman":
            self.send(404)
            return
        if state.args.negotiate:
            self.serve_negotiated(state, body)
            return
        auth_ok = state.check_auth(self.headers.get("Authorization"))
        leak = state.leaks(self.path, self.headers, body)
        try:
            req = Request(body)
        except BadRequest as e:
            req = None
            problem = str(e)
        state.log(req, auth_ok, leak)
        if not auth_ok:
            self.send(401, extra=[("WWW-Authenticate", 'Basic realm="WSMAN"')])
            return
        if req is None:
            self.send(400, problem.encode("utf-8"), ctype="text/plain;charset=UTF-8")
            return
        if state.args.hang:
            self.hang(state)
            return
        try:
            reply = state.server.handle(req)
        except BadRequest as e:
            reply = state.server.fault("http://schemas.dmtf.org/wbem/wsman/1/wsman/fault",
                                       "w:SchemaValidationError", str(e))
        self.send(reply.status, _relate(reply.text, req).encode("utf-8"))

    def serve_negotiated(self, state, body):
        import gssapi
        header = (self.headers.get("Authorization") or "").strip()
        scheme, _, value = header.partition(" ")
        if scheme.lower() == "negotiate":
            try:
                token = base64.b64decode(value.strip(), validate=True)
                if self.gss is None or self.gss.complete:
                    self.gss = gssapi.SecurityContext(usage="accept")
                out = self.gss.step(token)
            except (gssapi.exceptions.GSSError, binascii.Error, ValueError):
                self.gss = None
                state.log_line("Handshake - - auth-fail")
                self.send(401, extra=[("WWW-Authenticate", "Negotiate")])
                return
            if not self.gss.complete:
                self.send(401, extra=[("WWW-Authenticate",
                                       "Negotiate " + base64.b64encode(out).decode())])
                return
            state.log_line(f"Handshake - - auth-ok user={_enc(str(self.gss.initiator_name).rstrip(chr(0)))}")
            extra = [("WWW-Authenticate", "Negotiate " + base64.b64encode(out).decode())] if out else []
            if not body:
                self.send(200, extra=extra)
                return
        elif self.gss is None or not self.gss.complete:
            if self.headers.get("WSMANIDENTIFY", "").strip().lower() == "unauthenticated":
                try:
                    req = Request(body)
                except BadRequest as e:
                    self.send(400, str(e).encode(), ctype="text/plain;charset=UTF-8")
                    return
                state.log(req, True, False, " plain")
                reply = state.server.handle(req)
                self.send(reply.status, _relate(reply.text, req).encode("utf-8"))
                return
            self.gss = None
            self.send(401, extra=[("WWW-Authenticate", "Negotiate")])
            return
        ctype = self.headers.get("Content-Type") or ""
        sealed = ctype.lower().startswith("multipart/encrypted") and not state.args.tls
        note = " plain"
        if sealed:
            parts = split_sealed(body)
            plain = None
            if parts is not None:
                sig, data, length, layout = parts
                try:
                    plain = self.gss.unwrap(sig + data).message
                except gssapi.exceptions.GSSError:
                    plain = None
            if plain is None or len(plain) != parts[2]:
                state.log_line("- - - auth-ok bad-seal")
                self.send(400, b"the sealed message does not open", ctype="text/plain")
                return
            note = " sealed frame=" + layout
            body = plain
        elif not state.args.tls:
            state.log_line("- - - auth-ok plain")
            self.send(400, b"message encryption is required", ctype="text/plain")
            return
        try:
            req = Request(body)
        except BadRequest as e:
            state.log_line("- - - auth-ok malformed" + note)
            self.send(400, str(e).encode(), ctype="text/plain")
            return
        state.log(req, True, False, note)
        try:
            reply = state.server.handle(req)
        except BadRequest as e:
            reply = state.server.fault("http://schemas.dmtf.org/wbem/wsman/1/wsman/fault",
                                       "w:SchemaValidationError", str(e))
        text = _relate(reply.text, req).encode("utf-8")
        if not sealed:
            self.send(reply.status, text)
            return
        out = seal(self.gss, text)
        if state.args.break_signature and state.take_break():
            at = out.index(b"application/octet-stream\r\n") + 26 + 4 + 5
            out = out[:at] + bytes([out[at] ^ 0x01]) + out[at + 1:]
        self.send(reply.status, out, ctype=ENC_TYPE)
        if state.args.drop:
            self.close_connection = True

    def hang(self, state):
        """Never answer; return when the client closes, at shutdown or after a bound."""
        self.close_connection = True
        sock = self.connection
        deadline = time.monotonic() + HANG_SECONDS
        while not state.stopping.is_set() and time.monotonic() < deadline:
            try:
                readable, _, _ = select.select([sock], [], [], 0.2)
                if readable and not sock.recv(4096):
                    return
            except (OSError, ValueError):
                return


class State:
    """Shared by all connections: options, credentials, log, liveness."""

    def __init__(self, args, server):
        self.args = args
        self.server = server
        self.stopping = threading.Event()
        self.lock = threading.Lock()
        self.last = time.monotonic()
        self.busy = 0
        self.log_file = open(args.log, "a", encoding="utf-8") if args.log else None
        self.expected = None
        if args.user is not None:
            token = f"{args.user}:{args.password or ''}".encode("utf-8")
            self.expected = b"Basic " + base64.b64encode(token)

    def begin(self):
        with self.lock:
            self.busy += 1
            self.last = time.monotonic()

    def end(self):
        with self.lock:
            self.busy -= 1
            self.last = time.monotonic()

    def idle_for(self):
        with self.lock:
            return 0 if self.busy else time.monotonic() - self.last

    def check_auth(self, header):
        if self.expected is None:
            return True
        if not header:
            return False
        scheme, _, value = header.strip().partition(" ")
        if scheme.lower() != "basic":
            return False
        try:
            base64.b64decode(value.strip(), validate=True)
        except (binascii.Error, ValueError):
            return False
        return hmac.compare_digest(b"Basic " + value.strip().encode("latin-1", "replace"),
                                   self.expected)

    def leaks(self, path, headers, body):
        secret = self.args.password
        if not secret:
            return False
        raw = secret.encode("utf-8")
        if raw in body or secret in path:
            return True
        return any(secret in v for k, v in headers.items() if k.lower() != "authorization")

    def take_break(self):
        """True once: the one reply --break-signature spoils."""
        with self.lock:
            first = not getattr(self, "broken", False)
            self.broken = True
            return first

    def log_line(self, line):
        if self.log_file is None:
            return
        with self.lock:
            self.log_file.write(line + "\n")
            self.log_file.flush()

    def log(self, req, auth_ok, leak, note=""):
        if self.log_file is None:
            return
        if req is None:
            line = "- - - " + ("auth-ok" if auth_ok else "auth-fail") + " malformed"
        else:
            identify = req.payload is not None and req.payload.tag == f"{{{NS_WSMID}}}Identify"
            action = req.action or ("Identify" if identify else "-")
            sels = ",".join(f"{_enc(k)}={_enc(v)}" for k, v in req.selectors) or "-"
            line = f"{action} {req.resource_uri or '-'} {sels} {'auth-ok' if auth_ok else 'auth-fail'}"
            flt = req.child(f"{{{NS_W}}}Filter", f"{{{NS_N}}}Filter")
            if req.action == ACT_ENUM + "Enumerate" and flt is not None:
                line += " filter=" + " ".join((flt.text or "").split())
            ctx = req.child(f"{{{NS_N}}}EnumerationContext")
            if ctx is not None:
                line += " context=" + (ctx.text or "").strip()
            if req.payload is not None and _local(req.payload.tag).endswith("_INPUT"):
                params = ",".join(f"{_enc(_local(c.tag))}={_enc((c.text or '').strip())}"
                                  for c in req.payload)
                line += " params=" + params
        if leak:
            line += " password-leak"
        line += note
        with self.lock:
            self.log_file.write(line + "\n")
            self.log_file.flush()


def _enc(text):
    return re.sub(r"[%,=\s]", lambda m: "%%%02X" % ord(m.group(0)), text)


class HTTPServer(ThreadingHTTPServer):
    daemon_threads = True
    block_on_close = False
    request_queue_size = 16

    def __init__(self, address, tls_context, state_factory):
        if ":" in address[0]:
            self.address_family = socket.AF_INET6
        super().__init__(address, Handler)
        self.tls_context = tls_context
        self.slots = threading.BoundedSemaphore(MAX_CONNECTIONS)
        self.state = state_factory(self)

    def get_request(self):
        sock, addr = self.socket.accept()
        if self.tls_context is not None:
            # The handshake happens on the connection's own thread, so a
            # client that never completes it does not stall accept().
            sock = self.tls_context.wrap_socket(sock, server_side=True,
                                                do_handshake_on_connect=False)
        return sock, addr

    def process_request(self, request, client_address):
        if not self.slots.acquire(blocking=False):
            self.shutdown_request(request)
            return
        super().process_request(request, client_address)

    def process_request_thread(self, request, client_address):
        try:
            super().process_request_thread(request, client_address)
        finally:
            self.slots.release()

    def handle_error(self, request, client_address):
        exc = sys.exc_info()[1]
        if not isinstance(exc, (ConnectionError, ssl.SSLError, socket.timeout, TimeoutError)):
            print(f"replay_server: {type(exc).__name__}: {exc}", file=sys.stderr, flush=True)


# ---------------------------------------------------------------- TLS

def make_certificates(directory):
    """A CA and a leaf for 127.0.0.1, ::1 and localhost, signed by that CA."""
    openssl = "/usr/bin/openssl"
    ca_key, ca_pem = os.path.join(directory, "ca.key"), os.path.join(directory, "ca.pem")
    key, csr, pem = (os.path.join(directory, n) for n in ("server.key", "server.csr", "server.pem"))
    ext = os.path.join(directory, "server.ext")
    with open(ext, "w") as f:
        f.write("subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost\n"
                "basicConstraints=critical,CA:FALSE\n"
                "keyUsage=critical,digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\n")
    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    run = lambda *cmd: subprocess.run([openssl, *cmd], check=True, timeout=30,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    run("req", "-x509", *ec, "-keyout", ca_key, "-out", ca_pem, "-days", "2",
        "-subj", "/CN=Cimscope replay test CA",
        "-addext", "basicConstraints=critical,CA:TRUE",
        "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    run("req", "-new", *ec, "-keyout", key, "-out", csr, "-subj", "/CN=localhost")
    run("x509", "-req", "-in", csr, "-CA", ca_pem, "-CAkey", ca_key,
        "-set_serial", str(int.from_bytes(os.urandom(8), "big")),
        "-days", "2", "-extfile", ext, "-out", pem)
    return ca_pem, pem, key


# ---------------------------------------------------------------- main

def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description="WinRM replay server for tests (127.0.0.1 only)")
    ap.add_argument("--fixtures", required=True, help="the shared wsman/ recordings folder")
    ap.add_argument("--ours", default=os.path.join(here, "fixtures"))
    ap.add_argument("--tls", action="store_true")
    ap.add_argument("--user")
    ap.add_argument("--password")
    ap.add_argument("--profile", choices=["2016", "2008r2"], default="2016")
    ap.add_argument("--repeat", type=int, default=1)
    ap.add_argument("--hang", action="store_true")
    ap.add_argument("--log")
    ap.add_argument("--bind", default="127.0.0.1", choices=["127.0.0.1", "::1"])
    ap.add_argument("--negotiate", action="append", metavar="DOMAIN:USER:PASSWORD")
    ap.add_argument("--break-signature", action="store_true")
    ap.add_argument("--drop", action="store_true")
    ap.add_argument("--keytab", help="with --negotiate: also take Kerberos, keys from this keytab")
    args = ap.parse_args()
    if (args.user is None) != (args.password is None):
        ap.error("--user and --password go together")
    if not 1 <= args.repeat <= 1_000_000:
        ap.error("--repeat must be 1..1000000")

    replay = Server(args)
    tmp = None
    users = None
    if args.negotiate:
        if args.user is not None:
            ap.error("--negotiate and --user do not go together")
        # gss-ntlmssp reads its users from this file; this process only.
        fd, users = tempfile.mkstemp(prefix="cimscope-ntlm-users-")
        with os.fdopen(fd, "w") as f:
            for entry in args.negotiate:
                if entry.count(":") < 2:
                    ap.error("--negotiate takes DOMAIN:USER:PASSWORD")
                f.write(entry + "\n")
        os.environ["NTLM_USER_FILE"] = users
        if args.keytab:
            os.environ["KRB5_KTNAME"] = "FILE:" + args.keytab
        import gssapi  # noqa: F401  (fails early, not on the first request)
    context = None
    try:
        if args.tls:
            tmp = tempfile.mkdtemp(prefix="cimscope-replay-")
            ca_pem, pem, key = make_certificates(tmp)
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.minimum_version = ssl.TLSVersion.TLSv1_2
            context.load_cert_chain(pem, key)
        httpd = HTTPServer((args.bind, 0), context, lambda srv: State(args, replay))
        state = httpd.state

        def stop(*_):
            state.stopping.set()

        signal.signal(signal.SIGTERM, stop)
        signal.signal(signal.SIGINT, stop)

        def watch_stdin():
            try:
                while os.read(sys.stdin.fileno(), 4096):
                    pass
            except OSError:
                pass
            stop()

        threading.Thread(target=watch_stdin, daemon=True).start()
        serving = threading.Thread(target=httpd.serve_forever, kwargs={"poll_interval": 0.2},
                                   daemon=True)
        serving.start()
        print(f"PORT {httpd.server_address[1]}", flush=True)
        if args.tls:
            print(f"CERT {ca_pem}", flush=True)
        while not state.stopping.wait(1.0):
            if state.idle_for() > IDLE_SECONDS:
                break
        state.stopping.set()
        httpd.shutdown()
        httpd.server_close()
    finally:
        if tmp:
            shutil.rmtree(tmp, ignore_errors=True)
        if users:
            os.unlink(users)


if __name__ == "__main__":
    main()
