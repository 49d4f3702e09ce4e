"""ClickHouse's own parser as a separate process: reads one JSON text a line, answers
{"parsed": ...} with the statement printed back by the engine, every literal as '?', or
{"error": ...}. A process of its own because the engine's library cannot be loaded beside
the sanitizer runtime of the sanitized test run."""
import json
import sys

from chdb import session


def main():
    engine = session.Session()
    for line in sys.stdin:
        sql = json.loads(line)
        hexed = sql.encode("utf-8", "surrogatepass").hex()
        try:
            answer = engine.query(f"SELECT normalizeQuery(formatQuerySingleLine(unhex('{hexed}')))",
                                  "TabSeparatedRaw")
            reply = {"parsed": answer.bytes().decode("utf-8", "replace").rstrip("\n")}
        except Exception as e:  # the engine's syntax errors come as exceptions
            reply = {"error": str(e)}
        sys.stdout.write(json.dumps(reply) + "\n")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
