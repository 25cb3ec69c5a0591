#!/usr/bin/python3
"""Sends one SOAP envelope through python3-winrm's NTLM transport with message
encryption (an implementation independent of ours and of gss-ntlmssp), and
prints the local name of the reply's first Body element.

usage: winrm_crosscheck.py URL DOMAIN\\USER PASSWORD ENVELOPE_FILE
Exit status 0 on a reply that opened and parsed, 1 otherwise, 77 when
python3-winrm is not installed.
"""
import os
import sys
import tempfile

# ntlm-auth hashes with MD4, which OpenSSL 3 keeps in its legacy provider;
# this must happen before anything loads hashlib.
_cnf = tempfile.NamedTemporaryFile("w", prefix="cimscope-openssl-", suffix=".cnf", delete=False)
_cnf.write("openssl_conf = init\n[init]\nproviders = prov\n[prov]\ndefault = on\nlegacy = on\n"
           "[on]\nactivate = 1\n")
_cnf.close()
os.environ["OPENSSL_CONF"] = _cnf.name

try:
    import xml.etree.ElementTree as ET
    try:
        from winrm.protocol import Protocol
    except ImportError as e:
        print(f"python3-winrm is not installed: {e}", file=sys.stderr)
        sys.exit(77)

    url, user, password, path = sys.argv[1:5]
    with open(path, "rb") as f:
        envelope = f.read()
    p = Protocol(url, transport="ntlm", username=user, password=password,
                 message_encryption="always", operation_timeout_sec=10, read_timeout_sec=15)
    try:
        reply = p.transport.send_message(envelope)
    except Exception as e:  # the reason goes to the test's output
        print(f"{type(e).__name__}: {e}", file=sys.stderr)
        sys.exit(1)
    body = ET.fromstring(reply).find("{http://www.w3.org/2003/05/soap-envelope}Body")
    first = list(body)[0] if body is not None and len(body) else None
    print(first.tag.split("}")[-1] if first is not None else "-")
finally:
    os.unlink(_cnf.name)
