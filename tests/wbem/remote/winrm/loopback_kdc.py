#!/usr/bin/python3
"""A throwaway MIT Kerberos KDC on 127.0.0.1 for the Negotiate tests.

Makes the realm CIMSCOPE.TEST in a temporary folder with the user
alice@CIMSCOPE.TEST (password from --password), the service HTTP/127.0.0.1 in
http.keytab, and a ticket cache holding alice's ticket (cc), then serves.
Prints "DIR <folder>" (krb5.conf, http.keytab and cc are in it) once the KDC
answers. Stops, and removes the folder, when its stdin closes or after 120 s.
"""
import argparse
import os
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import time

REALM = "CIMSCOPE.TEST"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--password", required=True)
    args = ap.parse_args()
    d = tempfile.mkdtemp(prefix="cimscope-kdc-")
    kdc = None
    try:
        port = free_port()
        conf = os.path.join(d, "krb5.conf")
        with open(conf, "w") as f:
            f.write(f"""[libdefaults]
 default_realm = {REALM}
 dns_lookup_kdc = false
 dns_lookup_realm = false
 dns_canonicalize_hostname = false
 rdns = false
 udp_preference_limit = 1
[realms]
 {REALM} = {{
  kdc = 127.0.0.1:{port}
 }}
[domain_realm]
 127.0.0.1 = {REALM}
""")
        kdcconf = os.path.join(d, "kdc.conf")
        with open(kdcconf, "w") as f:
            f.write(f"""[kdcdefaults]
 kdc_listen = 127.0.0.1:{port}
 kdc_tcp_listen = 127.0.0.1:{port}
[realms]
 {REALM} = {{
  database_name = {d}/principal
  key_stash_file = {d}/stash
  acl_file = {d}/kadm5.acl
  kdc_listen = 127.0.0.1:{port}
  kdc_tcp_listen = 127.0.0.1:{port}
 }}
[logging]
 kdc = FILE:{d}/kdc.log
""")
        env = dict(os.environ, KRB5_CONFIG=conf, KRB5_KDC_PROFILE=kdcconf,
                   KRB5CCNAME="FILE:" + os.path.join(d, "cc"))
        run = lambda *cmd, **kw: subprocess.run(cmd, env=env, check=True, timeout=30,
                                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                                **kw)
        run("/usr/sbin/kdb5_util", "create", "-s", "-r", REALM, "-P", "master-" + args.password)
        run("/usr/sbin/kadmin.local", "-r", REALM, "-q",
            f"addprinc -pw {args.password} alice@{REALM}")
        run("/usr/sbin/kadmin.local", "-r", REALM, "-q", f"addprinc -randkey HTTP/127.0.0.1@{REALM}")
        run("/usr/sbin/kadmin.local", "-r", REALM, "-q",
            f"ktadd -k {d}/http.keytab HTTP/127.0.0.1@{REALM}")
        run("/usr/sbin/kadmin.local", "-r", REALM, "-q",
            f"ktadd -norandkey -k {d}/alice.keytab alice@{REALM}")
        kdc = subprocess.Popen(["/usr/sbin/krb5kdc", "-n", "-r", REALM], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while True:
            r = subprocess.run(["/usr/bin/kinit", "-k", "-t", f"{d}/alice.keytab",
                                f"alice@{REALM}"], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=10)
            if r.returncode == 0:
                break
            if time.monotonic() > deadline or kdc.poll() is not None:
                print("the KDC did not come up", file=sys.stderr)
                return 1
            time.sleep(0.1)
        print(f"DIR {d}", flush=True)
        end = time.monotonic() + 120
        while time.monotonic() < end:
            ready, _, _ = select.select([sys.stdin], [], [], 1.0)
            if ready and not os.read(sys.stdin.fileno(), 4096):
                break
        return 0
    finally:
        if kdc is not None:
            kdc.terminate()
            try:
                kdc.wait(5)
            except subprocess.TimeoutExpired:
                kdc.kill()
        shutil.rmtree(d, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
