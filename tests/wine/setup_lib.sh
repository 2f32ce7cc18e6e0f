# Kept for scenarios written against it: everything lives in lib.sh now.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"
