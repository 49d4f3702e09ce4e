"""The notebook tour runs cell by cell in a real Jupyter kernel against the local stack."""
from __future__ import annotations

import json
import re
import sys
from pathlib import Path

import pytest

nbformat = pytest.importorskip("nbformat", reason="the notebook tour needs nbformat (requirements-dev.txt)")
nbclient = pytest.importorskip("nbclient", reason="the notebook tour needs nbclient (requirements-dev.txt)")
pytest.importorskip("ipykernel", reason="the notebook tour needs ipykernel (requirements-dev.txt)")
pytest.importorskip("matplotlib", reason="the notebook tour draws with matplotlib (requirements-dev.txt)")

ROOT = Path(__file__).resolve().parents[2]
TOUR = ROOT / "examples" / "tour.ipynb"
KERNEL = "pelmora-tour"


@pytest.fixture
def kernel_of_this_interpreter(tmp_path, monkeypatch):
    """A kernel spec that starts this very interpreter, so the kernel imports the pelmora the
    tests import, whatever kernels the machine has registered."""
    spec_dir = tmp_path / "kernels" / KERNEL
    spec_dir.mkdir(parents=True)
    spec = {"argv": [sys.executable, "-m", "ipykernel_launcher", "-f", "{connection_file}"],
            "display_name": "pelmora tests", "language": "python"}
    (spec_dir / "kernel.json").write_text(json.dumps(spec))
    monkeypatch.setenv("JUPYTER_PATH", str(tmp_path))
    monkeypatch.setenv("MPLBACKEND", "Agg")
    return KERNEL


def outputs_of(nb, tag):
    cells = [c for c in nb.cells if tag in c.get("metadata", {}).get("tags", [])]
    assert len(cells) == 1, f"one cell tagged {tag!r}"
    return cells[0].outputs


def text_of(outputs):
    parts = []
    for out in outputs:
        if out.output_type == "stream":
            parts.append(out.text)
        elif "data" in out:
            parts.append(out.data.get("text/plain", ""))
    return "".join(parts)


def count_in(outputs, label):
    found = re.search(rf"(\d+) {label}", text_of(outputs))
    assert found, f"no '<n> {label}' line in {text_of(outputs)!r}"
    return int(found.group(1))


def test_tour_is_saved_without_outputs():
    nb = nbformat.read(TOUR, as_version=4)
    for cell in nb.cells:
        if cell.cell_type == "code":
            assert cell.outputs == [] and cell.execution_count is None


@pytest.mark.stack_reset("factors.t_order_dtl", "strategy.param_modify_log", "redis:central")
def test_tour_runs_without_an_error_cell(stack, kernel_of_this_interpreter):
    nb = nbformat.read(TOUR, as_version=4)
    client = nbclient.NotebookClient(nb, kernel_name=kernel_of_this_interpreter, timeout=180,
                                     allow_errors=True, resources={"metadata": {"path": str(ROOT)}})
    client.execute()

    errors = [(i, out.ename, out.evalue) for i, cell in enumerate(nb.cells) if cell.cell_type == "code"
              for out in cell.outputs if out.output_type == "error"]
    assert errors == []

    assert "start_date" in text_of(outputs_of(nb, "help"))
    assert count_in(outputs_of(nb, "deals"), "deals") > 0
    assert count_in(outputs_of(nb, "equity-chart"), "trading days") >= 15
    assert any("image/png" in out.get("data", {}) for out in outputs_of(nb, "equity-chart"))
    assert count_in(outputs_of(nb, "read-signals"), "signals read back") == 3
    assert count_in(outputs_of(nb, "factors"), "factor values") > 0
    assert count_in(outputs_of(nb, "post-trade"), "commodities") > 0
    assert "text/html" in outputs_of(nb, "post-trade")[-1].data
