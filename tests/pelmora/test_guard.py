"""The guard answers a C++ failure with the error pybind11 itself raises for it."""
import pytest

from pelmora.Pelmora import _throw_for_test as throw

# kind thrown in C++ -> the Python error pybind11 gives for it
TRANSLATIONS = [
    ("bad_alloc", MemoryError), ("domain_error", ValueError), ("invalid_argument", ValueError),
    ("length_error", ValueError), ("out_of_range", IndexError), ("range_error", ValueError),
    ("overflow_error", OverflowError), ("underflow_error", RuntimeError), ("logic_error", RuntimeError),
    ("runtime_error", RuntimeError), ("exception", RuntimeError), ("value_error", ValueError),
    ("index_error", IndexError), ("key_error", KeyError), ("type_error", TypeError),
    ("stop_iteration", StopIteration), ("cast_error", RuntimeError),
]


@pytest.mark.parametrize("kind, error", TRANSLATIONS)
def test_guard_translates_as_pybind11(kind, error):
    with pytest.raises(error) as raised:
        throw(kind, False)
    assert type(raised.value) is error
    assert throw(kind, True) == repr(raised.value)
