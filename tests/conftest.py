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


@pytest.fixture(scope="session")
def hooks():
    from zaviktools import _testhooks

    return _testhooks
