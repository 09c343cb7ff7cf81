# A terminal for the tool tests: a tmux server of the test's own (socket in
# $dir), a bash in it with the prompt "ready> ", and waits on what the screen
# shows. Waits are long (30 seconds) so that a loaded machine or a sanitizer
# build does not fail them; a passing test never waits that long.
# Needs: dir (the test's directory), fail.
T=(tmux -S "$dir/tmux.sock")
tmux_stop() { "${T[@]}" kill-server 2>/dev/null || true; }
screen() { "${T[@]}" capture-pane -p -t t; }
# Waits until the screen shows TEXT.
wait_for() {
    local text=$1
    while [ "${text% }" != "$text" ]; do text=${text% }; done  # the screen keeps no trailing blanks
    for _ in $(seq 300); do
        screen >"$dir/pane" 2>/dev/null || true
        grep -qF -- "$text" "$dir/pane" && return 0
        sleep 0.1
    done
    cat "$dir/pane" >&2
    fail "the screen never showed: $1"
}
type_line() {
    "${T[@]}" send-keys -t t -l -- "$1"
    "${T[@]}" send-keys -t t Enter
}
# A COLSxROWS terminal whose shell is ready for a line.
tmux_start() {
    "${T[@]}" new-session -d -s t -x "$1" -y "$2" "bash --norc --noprofile"
    "${T[@]}" set-option -t t remain-on-exit on >/dev/null
    type_line "PS1='ready> '; clear"
    wait_for "ready> "
}
