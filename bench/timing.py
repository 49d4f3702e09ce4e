"""The benchmarks' one timing loop."""
import gc
import statistics
import time


def timings(call, runs, collect=False):
    """Seconds of each of `runs` calls. The call's result is freed after its time is taken:
    freeing it is the caller's time, not the call's. With `collect`, a full collection comes
    before each call, so no call pays for the garbage of the one before."""
    out = []
    for _ in range(runs):
        if collect:
            gc.collect()
        started = time.perf_counter()
        result = call()
        out.append(time.perf_counter() - started)
        del result
    return out


def median_ms(call, runs, collect=False):
    return statistics.median(timings(call, runs, collect)) * 1000
