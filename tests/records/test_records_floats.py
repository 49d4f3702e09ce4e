"""The 10-decimal float rendering over many seeded values, in one table each."""
import math
import random
import struct

import pytest

from .pipeline import assert_matches_pandas


def seeded_floats(seed, n):
    rnd = random.Random(seed)
    values = []
    for _ in range(n):
        pick = rnd.randrange(6)
        if pick == 0:  # any bit pattern: subnormals, huge, NaN, infinities
            values.append(struct.unpack("<d", rnd.getrandbits(64).to_bytes(8, "little"))[0])
        elif pick == 1:  # decimal amounts with up to 12 places
            values.append(rnd.randrange(-10**15, 10**15) / 10**rnd.randrange(0, 13))
        elif pick == 2:  # at or next to a tie on the 10th decimal
            x = rnd.randrange(0, 10**7) + (rnd.randrange(0, 10**10) + 0.5) / 1e10
            for _ in range(rnd.randrange(-2, 3)):
                x = math.nextafter(x, math.inf)
            values.append(x)
        elif pick == 3:  # around the switches to exponent notation
            values.append(rnd.choice([1e16, 1e-15]) * rnd.uniform(0.5, 2.0))
        elif pick == 4:  # every magnitude
            values.append(rnd.uniform(1, 10) * 10.0 ** rnd.randrange(-30, 30))
        else:  # many digits around 2^53
            values.append(rnd.uniform(1e6, 2e16))
        if rnd.random() < 0.5:
            values[-1] = -values[-1]
    return values


@pytest.mark.parametrize("seed", [1, 2, 3])
def test_float_column(seed):
    assert_matches_pandas([(v,) for v in seeded_floats(seed, 40000)], ["price"])


def test_floats_among_objects():
    # A text makes the column objects; each float is rendered on its own.
    values = seeded_floats(4, 20000)
    assert_matches_pandas([(v,) for v in values] + [("x",)], ["price"])


def test_floats_as_text():
    values = seeded_floats(5, 20000)
    assert_matches_pandas([(v,) for v in values] + [(None,), (7,)], ["day"], ["day"])


def test_ints_in_a_float_column():
    rnd = random.Random(6)
    values = [rnd.randrange(-(2**63), 2**63) >> rnd.randrange(0, 63) for _ in range(20000)]
    assert_matches_pandas([(v,) for v in values] + [(None,)], ["volume"])
