#!/bin/sh
# Registers the recording browser automation server ($1) and the recording
# URL handler ($2) in the current Wine prefix.
set -e
wine regsvr32 /s "$(winepath -w "$1")"
wine "$2" /register
