#!/usr/bin/env bash
# Shows the example plug-in end to end in the host simulator: its name and
# options, its functions, a handful of calls with their results and a clean
# shutdown. Usage: scripts/run-demo.sh [BUILD_DIR]   (`make demo` builds first)
set -euo pipefail
build_dir=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
  scripts/install-deps.sh
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build_dir" --target fmhost ambrix_example_plugin >/dev/null

fmhost="$build_dir/bin/fmhost"
plugin="$build_dir/lib/Example.fmx"
demo_dir="$build_dir/demo"
rm -rf "$demo_dir"
mkdir -p "$demo_dir/home"
demo_dir=$(cd "$demo_dir" && pwd)
# An empty file is an empty SQLite database; the plug-in creates its table.
database="$demo_dir/shop.sqlite"
: >"$database"

# Each entry: a title, then the simulator command. The title is printed by
# the simulator itself (an eval of a text), so it stands right above the
# command's output.
steps=(
  "The plug-in's name, help and options (string requests 128, 129, 131, 132)" "strings"
  "Its functions and script steps, as the host registered them" "functions"
  "Text: XMPL_Upper(\"hello, wörld\")" 'eval XMPL_Upper("hello, wörld")'
  "Number: XMPL_Sum(1.25; 2; 3.5)" 'eval XMPL_Sum(1.25; 2; 3.5)'
  "Number: XMPL_Power(2; 16)" 'eval XMPL_Power(2; 16)'
  "Timestamp: one day after 31 Dec 2024 23:00" 'eval XMPL_AddDays(Timestamp(Date(12; 31; 2024); Time(23; 0; 0)); 1)'
  "Container: a text file made by the plug-in" 'eval XMPL_MakeFile("notes.txt"; "Hello from Java")'
  "Container: the plug-in reads it back" 'eval XMPL_DescribeContainer(XMPL_MakeFile("notes.txt"; "Hello from Java"))'
  "SQL: CREATE TABLE in shop.sqlite" 'eval XMPL_Query("CREATE TABLE items (name TEXT, price REAL)")'
  "SQL: INSERT with parameters" 'eval XMPL_Query("INSERT INTO items VALUES (?, ?)"; "tea"; 3.5)'
  "SQL: another INSERT" 'eval XMPL_Query("INSERT INTO items VALUES (?, ?)"; "coffee"; 4.25)'
  "SQL: SELECT, read cell by cell (a tab between cells; rows end in a carriage return)" 'eval XMPL_Query("SELECT name, price FROM items ORDER BY price")'
  "Expression: the plug-in has the host evaluate a calculation" 'eval XMPL_Evaluate("Upper(\"java\") & \" \" & Length(\"plug-in\")")'
  "Script: the plug-in triggers the host script Greet" 'eval XMPL_RunScript("Shop"; "Greet"; "from Java")'
  "Script step: XMPL Log Message writes to the plug-in's log" 'step XMPL Log Message Hello from a script step'
  "Error: the plug-in fails with host error 5" 'eval XMPL_Fail(5)'
  "Shutdown: the host withdraws the functions and ends the Java process" 'shutdown'
)

commands=()
for ((i = 0; i < ${#steps[@]}; i += 2)); do
  title=${steps[i]//\\/\\\\}
  title=${title//\"/\\\"}
  commands+=("eval \"== $title\"" "${steps[i + 1]}")
done

echo "Plug-in file: $plugin (wrapper, bridge and Java archive in one file)"
echo "Host simulator: $fmhost --file Shop=$database --script Greet"
echo
status=0
output=$(HOME="$demo_dir/home" "$fmhost" --file "Shop=$database" --script Greet "$plugin" "${commands[@]}" 2>"$demo_dir/fmhost.err") ||
  status=$?

# The bridge files the loader extracted stay in /tmp otherwise.
grep '^Plugin path location: /tmp/actualPlugin' <<<"$output" | sed 's/^Plugin path location: //' | xargs -r rm -f

# The loader's own diagnostics are left out of the transcript.
grep -v -e '^Plugin path location: ' -e '^size of passthrough: ' -e '^Splitting out plugin' -e '^do_function ptr@' \
  <<<"$output" | awk '/^== / { print ""; print; next } { print "   " ($0 == "" ? "(empty result)" : $0) }' || true

log="$demo_dir/home/Velmora/Ambrix_Example_FMPro.log"
echo
echo "== The plug-in's log: $log"
if [[ -f "$log" ]]; then
  grep -a -h -e 'initialized in' -e 'XMPL Log Message:' -e 'JVM shutdown succeeded' -e 'Shutdown of .* complete' "$log" |
    sed -e 's/^INFO: \[C++\] //' -e 's/^WARNING: \[C++\] //' -e 's/^INFO: //' -e 's/^/   /'
fi

# Exit status 1 only means that a command failed: the error call does.
if [[ $status -gt 1 ]]; then
  echo
  echo "The host simulator failed (exit status $status):"
  cat "$demo_dir/fmhost.err"
  exit "$status"
fi
echo
echo "Done: the error call above is the one failed command (fmhost exit status $status)."
