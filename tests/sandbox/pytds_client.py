"""usage: pytds_client.py PORT PASSWORD TDS_VERSION [plain|login|whole CAFILE] < statements.json
Prints as JSON the revision and server version the login acknowledged, then each statement's rows
("a|b", NULL spelt out) or error ("!number text"); a refused login prints its error alone.
"""
import datetime
import json
import sys

import pytds


def text(v):
    if v is None:
        return "NULL"
    if isinstance(v, bool) or isinstance(v, float) and v.is_integer():
        return str(int(v))
    if isinstance(v, datetime.datetime):
        return v.strftime("%Y-%m-%d %H:%M:%S.%f")[:-3]
    return str(v)


port, password, version, encryption, cafile = (sys.argv[1:] + ["plain", ""])[:5]
try:
    conn = pytds.connect(server="127.0.0.1", port=int(port), user="sa", password=password, autocommit=True,
                         login_timeout=10, timeout=30, cafile=None if encryption == "plain" else cafile,
                         validate_host=False, enc_login_only=encryption == "login",
                         tds_version={"7.1": pytds.tds_base.TDS71, "7.4": pytds.tds_base.TDS74}[version])
except Exception as e:
    print(json.dumps([[f"!{getattr(e, 'number', 0)} {e}"]], ensure_ascii=False))
    sys.exit()
out = [[f"{conn.tds_version:#010x} {conn.product_version:#010x}"]]
with conn:
    for sql in json.load(sys.stdin):
        with conn.cursor() as cursor:
            try:
                cursor.execute(sql)
                out.append(["|".join(text(v) for v in row) for row in cursor.fetchall()] if cursor.description else [])
            except pytds.tds_base.Error as e:
                out.append([f"!{getattr(e, 'number', 0)} {getattr(e, 'text', e)}"])
print(json.dumps(out, ensure_ascii=False))
