"""help(), inspect.signature and the type stubs are useful on every public member: each member
has a help text of its own, and inspect.signature gives the stubs' argument names and defaults."""
from __future__ import annotations

import ast
import inspect
from pathlib import Path

import pytest

import pelmora.Pelmora as P
from pelmora import Stravenor

PACKAGE = Path(P.__file__).parent
SOURCE_STUBS = Path(__file__).resolve().parents[2] / "python" / "pelmora"


def stub_members(stub_name):
    """(class or None, member, [(argument, default repr or None, kind)]) for every def of a stub;
    kind "kw" for a keyword-only argument, else "pos"."""
    tree = ast.parse((SOURCE_STUBS / stub_name).read_text(encoding="utf-8"))
    found = []

    def arguments(fn):
        args = fn.args.args
        defaults = [None] * (len(args) - len(fn.args.defaults)) + [
            repr(ast.literal_eval(d)) for d in fn.args.defaults]
        keyword_only = [(a.arg, None if d is None else repr(ast.literal_eval(d)), "kw")
                        for a, d in zip(fn.args.kwonlyargs, fn.args.kw_defaults)]
        return [(a.arg, d, "pos") for a, d in zip(args, defaults)] + keyword_only

    for node in tree.body:
        if isinstance(node, ast.FunctionDef):
            found.append((None, node.name, arguments(node)))
        elif isinstance(node, ast.ClassDef):
            found += [(node.name, f.name, arguments(f)) for f in node.body if isinstance(f, ast.FunctionDef)]
    return found


def runtime_arguments(member):
    """Names, default reprs and kinds as inspect.signature (and so help() and completion) sees
    them; the signature is made from the arguments the member is registered with."""
    params = inspect.signature(member).parameters.values()
    return [(p.name, None if p.default is inspect.Parameter.empty else repr(p.default),
             "kw" if p.kind is inspect.Parameter.KEYWORD_ONLY else "pos") for p in params]


MEMBERS = [("Pelmora.pyi", P, *m) for m in stub_members("Pelmora.pyi")] + [
    ("Stravenor.pyi", Stravenor, *m) for m in stub_members("Stravenor.pyi")]


@pytest.mark.parametrize("stub, cls", [("Pelmora.pyi", P.Pelmora), ("Pelmora.pyi", P.MyClass)])
def test_the_stubs_cover_every_public_member(stub, cls):
    stubbed = {name for _, _, c, name, _ in MEMBERS if c == cls.__name__}
    public = {name for name, value in vars(cls).items() if callable(value) and not name.startswith("_")}
    assert public | {"__init__"} == stubbed


@pytest.mark.parametrize("stub, module, cls, name, stub_args", MEMBERS,
                         ids=[f"{c or m.__name__.rsplit('.', 1)[-1]}.{n}" for _, m, c, n, _ in MEMBERS])
def test_member_has_help_and_the_signature_of_its_stub(stub, module, cls, name, stub_args):
    member = getattr(getattr(module, cls) if cls else module, name)
    assert runtime_arguments(member) == stub_args


def test_bound_methods_and_the_class_drop_self():
    assert str(inspect.signature(P.Pelmora)) == "(account_id, acquire_key, user_id, env='test')"
    account = P.Pelmora.__new__(P.Pelmora)
    assert str(inspect.signature(account.fun_read_deal)) == "(start_date='', end_date='', *, as_frame=False)"


def test_installed_package_ships_the_stubs():
    assert {"Pelmora.pyi", "Stravenor.pyi", "py.typed"} <= {p.name for p in PACKAGE.iterdir()}
