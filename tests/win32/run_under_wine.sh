#!/bin/sh
# run_under_wine.sh <wine> <program.exe> [arguments...]
# Runs a 32-bit Windows console program under Wine, headless. The caller sets
# WINEPREFIX (a prefix in the build tree; the first run creates it in about
# ten seconds). Exits 77, which ctest reports as skipped, only when this
# machine's kernel cannot execute 32-bit programs at all, which Wine's 32-bit
# loader needs; any other failure to start Wine fails the test.
wine="$1"
shift
if ! probe=$("$wine" --version 2>&1); then
  case "$probe" in
    *"Exec format error"*|*"cannot execute binary file"*)
      echo "SKIPPED: this machine cannot execute 32-bit programs, so Wine's 32-bit loader"
      echo "cannot start ($probe)."
      echo "Run the Windows checks on a machine whose kernel has IA-32 emulation enabled."
      exit 77 ;;
  esac
  echo "error: wine does not start: $probe"
  echo "Install it with: dpkg --add-architecture i386 && apt-get update &&"
  echo "                 apt-get install --no-install-recommends wine wine32:i386"
  exit 1
fi
exec "$wine" "$@"
