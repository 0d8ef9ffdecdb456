#!/bin/sh
# The README's list of run-time packages names every package a hospital installs for the
# product's files: the package of each library that a file names as needed (the C and C++
# runtimes aside, which every Debian system holds, and the sanitizers' of a tree built with
# them), and every library the system loads by name when it first needs it (which no file lists
# as needed, so that a package's computed dependencies miss it).
# $1: the top of the source tree; $2 ...: the product's files (libraries and programs).
set -eu
cd "$1"
shift
names=$(grep -rhoE 'OnDemandLibrary( [a-z_]+)?\("lib[^"]+"\)' --include='*.cpp' --exclude='*_test.cpp' platform foundation |
  sed -E 's/.*\("([^"]+)"\)/\1/' | sort -u)
[ -n "$names" ] || { echo "no library loaded by name was found"; exit 1; }
for name in $names; do
  grep -qF "(\`$name\`" README.md || { echo "README.md does not list $name"; exit 1; }
done
[ $# -gt 0 ] || { echo "no product file was given"; exit 1; }
# Each needed library as the loader finds it ("name => path" of ldd), and the package that holds
# that path (under /usr where the system merged /lib into it).
packages=$(for file in "$@"; do
  needed=$(objdump -p "$file" | awk '$1 == "NEEDED" { print $2 }')
  ldd "$file" | awk -v needed="$needed" 'BEGIN { split(needed, names, "\n"); for (i in names) want[names[i]] = 1 }
    $2 == "=>" && ($1 in want) { print $3 }'
done | sort -u | while read -r path; do
  { dpkg -S "$path" 2>/dev/null || dpkg -S "/usr$path" 2>/dev/null ||
    echo "no-package-holds-$path"; } | head -n 1 | cut -d: -f1
done | sort -u | grep -vxE 'libc6|libstdc\+\+6|libgcc-s1|libasan[0-9]+|libubsan[0-9]+' || true)
[ -n "$packages" ] || { echo "no needed library was found"; exit 1; }
for package in $packages; do
  grep -qwF "$package" README.md || { echo "README.md does not list $package"; exit 1; }
done
echo "RUNTIME_PACKAGES_LISTED" $names $packages
