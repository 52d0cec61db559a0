#!/bin/sh
# Stands in for the user's browser in the About tests: Wine's browser setting names this script
# with a record file, and the address to open comes last.
printf '%s\n' "$2" >>"$1"
