#!/bin/sh
# Stands in for a suite program (qprqpxxtty, qsf, driver, AixInterface, a
# launched program) in the queue-script tests. Each call appends one record
# to calls.log beside the stub: its name, working directory, arguments, the
# exported variables the scripts hand over, the content of every argument
# that names a file, and its standard input. It writes a line to each output
# stream, and fails (status 1) while the number in the file "failures"
# beside it is above zero, counting it down.
here=${0%/*}
{
    echo "call ${0##*/}"
    echo "cwd $(pwd)"
    for arg in "$@"; do
        printf 'arg %s\n' "$arg"
    done
    for var in QPrintFileSourceDir QPrintQueue QPrintPrinter QPrintRequest_id \
        QPrintUser_name QPrintHost_name QPrintTitle QPrintCopies QPrintOption_list \
        PATH PRINTER DISPLAY PANGO_RC_FILE GTK_IM_MODULE_FILE GDK_PIXBUF_MODULE_FILE \
        UserName Title OptList OptionList RequestID Copies SPOOL_DIR; do
        if eval "[ -n \"\${$var+set}\" ]"; then
            eval "printf 'env %s=%s\n' $var \"\${$var}\""
        fi
    done
    for arg in "$@"; do
        if [ -f "$arg" ]; then
            printf 'file %s=%s\n' "$arg" "$(cat "$arg")"
        fi
    done
    printf 'stdin %s\n' "$(cat)"
    echo "end"
} >>"$here/calls.log"
echo "stub output"
echo "stub error" >&2
failures=$(cat "$here/failures" 2>/dev/null)
if [ "${failures:-0}" -gt 0 ]; then
    echo $((failures - 1)) >"$here/failures"
    exit 1
fi
exit 0
