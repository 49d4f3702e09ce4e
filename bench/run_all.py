"""Runs every benchmark under bench/ in turn (`make bench`)."""
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent

for script in ("records_bench.py", "read_deal_bench.py", "host_literal_bench.py"):
    print(f"\n### {script}", flush=True)
    subprocess.run([sys.executable, str(HERE / script)], check=True)
