"""Bringing the stack up and down: reuse what runs, start what is missing, wait for answers."""
from __future__ import annotations

from dataclasses import dataclass

from . import paths, procs
from .components import Component, components


class StackError(RuntimeError):
    pass


@dataclass
class ComponentState:
    component: Component
    state: str  # "to start", "started", "running", "reused", "not available"
    detail: str = ""

    def line(self) -> str:
        c = self.component
        text = f"{c.name:<15} {c.address:<17} {self.state}"
        return f"{text} ({self.detail})" if self.detail else text


def _our_pid(c: Component) -> int | None:
    pid = procs.read_pid(c.name)
    if pid is not None and procs.pid_alive(pid) and c.marker in procs.cmdline(pid):
        return pid
    if pid is not None:
        procs.remove_pid(c.name)  # stale: the process is gone or the pid was reused
    return None


def _plan(c: Component) -> ComponentState:
    """What to do about one component: reuse it, or start it ("to start"). Starts nothing."""
    reason = c.unavailable()
    if reason:
        return ComponentState(c, "not available", reason)
    pid = _our_pid(c)
    if pid is not None:
        return ComponentState(c, "running", f"pid {pid}")
    if procs.port_open(c.host, c.port):
        if c.answers():
            return ComponentState(c, "reused", "already listening, not started by this stack")
        raise StackError(
            f"port {c.address} for the {c.label} is taken by {procs.describe_listener(c.host, c.port)}, "
            f"which does not answer as the {c.label}; stop it or free the port"
        )
    return ComponentState(c, "to start")


def _start(st: ComponentState) -> None:
    c = st.component
    try:
        c.prepare()
        argv = c.argv()
    except Exception as ex:  # a missing binary, a datadir that cannot be created, ...
        raise StackError(f"cannot start the {c.label}: {ex}") from ex
    pid = procs.spawn(c.name, argv, cwd=paths.STACK_DIR.parent)
    st.state, st.detail = "started", f"pid {pid}"


def _finish(st: ComponentState) -> None:
    """Waits until a component answers; runs its set-up on a process this stack started."""
    c = st.component
    if st.state in ("not available", "reused"):
        return
    pid = procs.read_pid(c.name)
    ready = c.ready_after_start or c.answers
    alive = (lambda: pid is not None and procs.pid_alive(pid))
    if not procs.wait_until(ready, c.start_timeout, alive=alive):
        why = "exited" if not alive() else f"did not answer within {c.start_timeout:.0f} s"
        raise StackError(
            f"the {c.label} on {c.address} {why}; log {paths.log_file(c.name)}:\n{procs.log_tail(c.name)}"
        )
    try:
        c.after_start()
    except Exception as ex:  # e.g. the database refused the set-up statements
        raise StackError(f"setting up the {c.label} on {c.address} failed: {ex}") from ex
    if not procs.wait_until(c.answers, c.start_timeout, alive=alive):
        raise StackError(f"the {c.label} on {c.address} does not accept the desk's credentials")


def up(only: set[str] | None = None) -> list[ComponentState]:
    """Starts (or reuses) every component and waits until each answers."""
    paths.ensure_dirs()
    chosen = [c for c in components() if only is None or c.name in only]
    states = [_plan(c) for c in chosen]  # a taken port stops us before anything is started
    try:
        for st in states:
            if st.state == "to start":
                _start(st)  # start everything first, then wait: they boot in parallel
        for st in states:
            _finish(st)
    except StackError:
        # Leave nothing half-started behind; what ran before this call keeps running.
        down({st.component.name for st in states if st.state == "started"})
        raise
    return states


def down(only: set[str] | None = None) -> list[str]:
    """Stops the processes this stack started (those with a pid file), all or the named ones."""
    lines = []
    for c in components():
        if only is not None and c.name not in only:
            continue
        pid = _our_pid(c)
        if pid is None:
            if procs.port_open(c.host, c.port):
                lines.append(f"{c.name:<15} {c.address:<17} left running (not started by this stack)")
            continue
        gone = procs.terminate(pid)
        procs.remove_pid(c.name)
        lines.append(f"{c.name:<15} {c.address:<17} {'stopped' if gone else 'did not stop'} (pid {pid})")
    return lines
