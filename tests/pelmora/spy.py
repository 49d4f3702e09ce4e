"""A stand-in for an object's client or cache that records every call."""


class Spy:
    """Stands in for a client or cache: records every call and makes the Nth call of one
    method fail, as a store going away in the middle of an upload would."""

    def __init__(self, real, fail=None):
        self.real, self.fail, self.calls = real, fail, []

    def __getattr__(self, name):
        attr = getattr(self.real, name)
        if not callable(attr):
            return attr

        def call(*args, **kwargs):
            self.calls.append((name, args))
            if self.fail and self.fail[0] == name and self.count(name) == self.fail[1]:
                raise ConnectionError("store went away")
            out = attr(*args, **kwargs)
            if name == "pipeline":
                # commands queued on a pipeline count as the cache's own, in the same log
                inner = Spy(out, self.fail)
                inner.calls = self.calls
                return inner
            return out
        return call

    def count(self, name):
        return sum(1 for called, _ in self.calls if called == name)


def spy_on(account, fail=None, where="client"):
    """Spies on the client and both caches; `fail` goes to the one named by `where`."""
    spies = {}
    for attr in ("client", "redis_conn", "copy_redis_conn"):
        spies[attr] = Spy(getattr(account, attr), fail if attr == where else None)
        setattr(account, attr, spies[attr])
    return spies
