import signal

import pytest

import ovralis

# The Ctrl-C tests send SIGINT to this process and to the command line's
# child processes. A run started in the background by a non-interactive
# shell inherits SIGINT ignored, and Python then installs no handler of its
# own, so the signal would never become KeyboardInterrupt.
signal.signal(signal.SIGINT, signal.default_int_handler)


@pytest.fixture
def system():
    return ovralis.System()
