"""Documents when memory runs out: MemoryError, never a crash.

Each case runs in a child process whose address space is capped just above
what it already uses, so the document's buffers cannot be allocated.
"""

import subprocess
import sys
import textwrap

import pytest

PRELUDE = """
import resource
import ovralis

def cap_memory(spare):
    with open("/proc/self/statm") as statm:
        pages = int(statm.read().split()[0])
    limit = pages * resource.getpagesize() + spare
    resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
"""

CASES = {
    # The reader copies a string value into its own stack before skipping it.
    "from_json": """
        text = '{"junk":"' + 'x' * 200_000_000 + '","points":[]}'
        cap_memory(50_000_000)
        ovralis.System.from_json(text)
    """,
    # Two million points write about 80 MB of text.
    "to_json": """
        system = ovralis.System()
        for i in range(2_000_000):
            system.add_point(i * 1.25, -i * 0.5)
        cap_memory(50_000_000)
        system.to_json()
    """,
}


@pytest.mark.parametrize("name", sorted(CASES))
def test_running_out_of_memory_raises_memory_error(name):
    script = PRELUDE + textwrap.dedent(CASES[name])
    child = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True)
    assert child.returncode == 1, (child.returncode, child.stderr)
    assert child.stderr.rstrip().splitlines()[-1] == "MemoryError"
