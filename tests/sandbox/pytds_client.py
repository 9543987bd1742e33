"""Runs statements through python3-tds and prints what came back as JSON.

usage: pytds_client.py PORT PASSWORD DATABASE TDS_VERSION LOGIN_TIMEOUT < statements.json
DATABASE may be empty; TDS_VERSION is 7.1 or 7.4. python3-tds retries a login refused for its
database until LOGIN_TIMEOUT has passed.
"""
import datetime
import json
import sys

import pytds


def value(v):
    return v.strftime("%Y-%m-%d %H:%M:%S.%f")[:-3] if isinstance(v, datetime.datetime) else v


port, password, database, version, login_timeout = sys.argv[1:6]
out = {"results": []}
try:
    conn = pytds.connect(server="127.0.0.1", port=int(port), user="sa", password=password, database=database or None,
                         autocommit=True, login_timeout=float(login_timeout), timeout=30,
                         tds_version={"7.1": pytds.tds_base.TDS71, "7.4": pytds.tds_base.TDS74}[version])
except pytds.tds_base.Error as e:
    out["login"] = {"number": getattr(e, "number", 0), "message": str(e)}
else:
    out["login"] = hex(conn.tds_version)
    with conn:
        for sql in json.load(sys.stdin):
            with conn.cursor() as cursor:
                try:
                    cursor.execute(sql)
                    columns = [d[0] for d in cursor.description] if cursor.description else None
                    rows = [[value(v) for v in row] for row in cursor.fetchall()] if columns else None
                    # A select's count is known only once its rows have been read.
                    out["results"].append({"columns": columns, "rows": rows, "rowcount": cursor.rowcount})
                except pytds.tds_base.Error as e:
                    out["results"].append({"error": {"number": getattr(e, "number", 0), "message": getattr(e, "text", str(e))}})
print(json.dumps(out, ensure_ascii=False))
