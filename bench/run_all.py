"""Runs every benchmark under bench/ in turn (`make bench`)."""
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent

for script in sorted(HERE.glob("*_bench.py")):
    print(f"\n### {script.name}", flush=True)
    subprocess.run([sys.executable, str(script)], check=True)
