#!/usr/bin/env bash
# Installs what is missing, configures and builds the DLL, the simulated host
# and the tests into $OSTREL_BUILD (default: build/).
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build_all
