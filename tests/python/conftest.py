import pytest

import ovralis


@pytest.fixture
def system():
    return ovralis.System()
