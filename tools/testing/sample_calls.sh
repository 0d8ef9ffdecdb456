# What the scripts share that call one class through `korvalis call` on a fresh sample database.
# A script run as
#   SCRIPT KORVALIS_COMMAND PRODUCT_LIBRARY SUITE_LIBRARY
# sets `calls_directory` and `calls_class`, then sources this file, which makes the directory
# anew, enters it, creates the sample database there and registers both libraries in a
# registry of its own. It defines
#   call METHOD ARGUMENTS...     the class's answer in $answer, printed after the method's name;
#   refused METHOD ARGUMENTS...  the call must fail, else exit 1; its message in $answer, printed
#                                after the method's name;
#   expect PATTERN...            the answer holds every pattern (fixed texts), else exit 1.
set -e
korvalis=$1
rm -rf "$calls_directory" && mkdir "$calls_directory" && cd "$calls_directory"
export KORVALIS_REGISTRY="$PWD/registry"
"$korvalis" initdb --sample emr.db >/dev/null
"$korvalis" regsvr "$2" >/dev/null
"$korvalis" regsvr "$3" >/dev/null

call() {
  answer=$("$korvalis" call "$calls_class" "$@")
  printf '%s:\n%s\n' "$1" "$answer"
}
refused() {
  if answer=$("$korvalis" call "$calls_class" "$@" 2>&1); then
    echo "answered: $1"
    exit 1
  fi
  printf '%s:\n%s\n' "$1" "$answer"
}
expect() {
  for pattern in "$@"; do
    printf '%s' "$answer" | grep -qF -- "$pattern" || { echo "missing: $pattern"; exit 1; }
  done
}
