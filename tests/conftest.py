import os

import pytest
from hypothesis import HealthCheck, settings

import zaviktools

# The suite also runs under AddressSanitizer and on busy shared machines, where
# generation and calls are several times slower: no test may depend on how long
# an example takes (per-test settings still set the example counts).
settings.register_profile(
    "zaviktools", deadline=None, suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large]
)
settings.load_profile(os.environ.get("HYPOTHESIS_PROFILE", "zaviktools"))


def require_testhooks():
    """The test-only module `zaviktools._testhooks`, or a skip of the calling
    test (or, called at import, of the whole test module) when the package was
    built without it (ZK_TEST_HOOKS off, as in a user's install)."""
    return pytest.importorskip("zaviktools._testhooks", reason="built without ZK_TEST_HOOKS")


@pytest.fixture(scope="session")
def hooks():
    return require_testhooks()
