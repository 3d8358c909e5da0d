"""`python -m ovralis`: the same command line as the `ovralis` console script."""

import sys

from ovralis._cli import main

# Importing this module (as stubtest does) must not run the command line.
if __name__ == "__main__":
    sys.exit(main())
