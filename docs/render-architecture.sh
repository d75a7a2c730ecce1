#!/bin/sh
# Remakes docs/architecture.svg from docs/architecture.dot (needs Graphviz: apt-get install graphviz).
set -e
cd "$(dirname "$0")"
dot -Tsvg architecture.dot -o architecture.svg
