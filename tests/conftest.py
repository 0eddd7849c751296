import pytest

import zaviktools


@pytest.fixture(scope="session")
def hooks():
    from zaviktools import _testhooks

    return _testhooks
