#!/usr/bin/env bash
# zeze's bash completion, installed where bash-completion looks for it: bash reads it without error,
# and it completes zeze's commands, each command's options as its --help lists them, programming
# files (.json, .bin) where zeze wants one, and any file after --hosts.
source "$(dirname "$0")/lib.sh"
install_into "$scratch/root"
completion="$scratch/root/usr/share/bash-completion/completions/zeze"
zeze="$scratch/root/usr/bin/zeze"
[ -f "$completion" ] || fail "no ${completion#"$scratch/root"}"

mkdir "$scratch/files"
cd "$scratch/files"
touch box.json box.bin hosts.txt
mkdir saved

# Prints what completing the words gives, one per line, sorted; the last word is the one under the
# cursor. Fails the test when bash cannot read the file or the completion breaks.
complete_words() {
  bash --norc --noprofile -c '
    source "$0" || exit 1
    [ "$(complete -p zeze)" = "complete -F _zeze zeze" ] || exit 1
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _zeze || exit 1
    printf "%s\n" "${COMPREPLY[@]}" | sort' "$completion" "$zeze" "$@" || fail "completing zeze $*"
}
# Checks that completing the words offers exactly the expected ones (blank-separated).
expect() {
  local expected="$1" got
  shift
  got=$(complete_words "$@")
  [ "$(echo $got)" = "$expected" ] || fail "zeze $* offers \"$(echo $got)\", not \"$expected\""
}

commands=$(complete_words "")
grep -qx send <<<"$commands" || fail "commands completed: $(echo $commands)"
[ "$(uniq <<<"$commands")" = "$commands" ] || fail "a command is offered twice: $(echo $commands)"
# "zeze help COMMAND" completes the other commands; its own --help is zeze's.
expect "$(grep -vx help <<<"$commands" | tr '\n' ' ' | sed 's/ $//')" help ""
for command in $(grep -vx help <<<"$commands"); do
  help=$("$zeze" "$command" --help) || fail "completion offers $command, which zeze does not know"
  offered=$(complete_words "$command" -)
  for option in $(help_options "$help"); do
    grep -qx -e "$option" <<<"$offered" || fail "zeze $command - offers $(echo $offered), not $option"
  done
done
expect send se
expect "box.bin box.json saved" send ""
expect "box.bin box.json" get -o b
expect "hosts.txt" info --hosts h
expect "" info --jobs ""
echo "bash completion: ok"
