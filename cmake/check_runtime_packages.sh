#!/bin/sh
# Every library the system loads by name when it first needs it (which no file lists as needed,
# so that a package's computed dependencies miss it) is named in the README's list of run-time
# packages. $1: the top of the source tree.
set -eu
cd "$1"
names=$(grep -rhoE 'OnDemandLibrary( [a-z_]+)?\("lib[^"]+"\)' --include='*.cpp' --exclude='*_test.cpp' platform foundation |
  sed -E 's/.*\("([^"]+)"\)/\1/' | sort -u)
[ -n "$names" ] || { echo "no library loaded by name was found"; exit 1; }
for name in $names; do
  grep -qF "(\`$name\`" README.md || { echo "README.md does not list $name"; exit 1; }
done
echo "RUNTIME_PACKAGES_LISTED" $names
