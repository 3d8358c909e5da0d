"""`python -m ovralis`: the same command line as the `ovralis` console script."""

import sys

from ovralis._cli import main

sys.exit(main())
