"""A table of demo rows: column names and row tuples in that order."""
from __future__ import annotations

from dataclasses import dataclass


@dataclass(frozen=True)
class Table:
    columns: list[str]
    rows: list[tuple]

    def dicts(self) -> list[dict]:
        return [dict(zip(self.columns, row)) for row in self.rows]
