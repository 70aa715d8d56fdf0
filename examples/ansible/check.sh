#!/usr/bin/env bash
# Runs the playbook with its own inventory, every shop's host being this machine, inside a
# private network namespace in which the inventory's printer addresses sit on the loopback
# device: two of them are corvane-cli listen, the third refuses. First in check mode, a set-ip
# given as a list, which must send nothing and change nothing; then for real, printing a file
# whose name has a space. Checks the gathered results, what Ansible counted as changed and what
# each printer received. CI runs it after the tests.
source "$(dirname "$0")/../../scripts/common.sh"
PACKAGES+=(ansible-core)
ensure_packages
here="$ROOT/examples/ansible"
cli="$ROOT/build/tests/src/corvane-cli"
[ -x "$cli" ] || build tests -DBUILD_TESTING=ON >/dev/null

if [ -z "${CORVANE_IN_NETNS:-}" ]; then
    export CORVANE_IN_NETNS=1
    if unshare -n true 2>/dev/null; then exec unshare -n "$0" "$@"; fi
    exec unshare -rn "$0" "$@" # fails here when no namespace can be made: nothing runs outside
fi
ip link set lo up
for a in 10.1.0.31 10.1.0.32 10.2.0.31; do ip addr add "$a/32" dev lo; done
# Nothing but loopback: no packet can leave, whatever the playbook does.
[ -z "$(ip route show table main | grep -v '^local')" ] || { echo "check: a route out" >&2; exit 1; }

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
# Each takes one connection: the real run's. Had the check run sent anything, that would be it.
for a in 10.1.0.31 10.1.0.32; do
    "$cli" listen --bind "$a" --count 1 --json >"$work/$a.json" 2>"$work/$a.err" &
done
for a in 10.1.0.31 10.1.0.32; do # bounded: each listener says it listens at once
    for _ in $(seq 100); do grep -q listening "$work/$a.err" && break; sleep 0.05; done
    grep -q listening "$work/$a.err" || { echo "check: no listener on $a" >&2; exit 1; }
done

export ANSIBLE_LOCALHOST_WARNING=false ANSIBLE_NOCOLOR=1
# play NAME ARGS...: one run of the playbook, its log in $work/NAME.log and its results in
# $work/NAME.json.
play() {
    local name=$1
    shift
    timeout 120 ansible-playbook -i "$here/inventory/hosts.ini" "$here/playbook.yml" \
        -e ansible_connection=local -e ansible_python_interpreter=/usr/bin/python3 \
        -e corvane_cli="$cli" -e corvane_results="$work/$name.json" "$@" \
        >"$work/$name.log" || { cat "$work/$name.log"; exit 1; }
}
play dry --check --limit shop_north -e '{"corvane_command": ["set-ip", "10.1.0.40"],
    "corvane_options": ["--yes"], "corvane_printers": ["10.1.0.31"]}'
printf 'Total 12.50\n' >"$work/a receipt.txt"
play real -e "{\"corvane_command\": [\"print\", \"$work/a receipt.txt\"]}"
wait

python3 - "$work" <<'PY'
import json, re, sys
work = sys.argv[1]

def changed(name):
    log = open(f"{work}/{name}.log").read()
    return {h: int(n) for h, n in re.findall(r"^(\S+)\s*:.*\bchanged=(\d+)", log, re.M)}

def results(name):
    return {r["host"]: r for r in json.load(open(f"{work}/{name}.json"))}

dry = results("dry")
assert list(dry) == ["10.1.0.31"], dry
assert dry["10.1.0.31"]["outcome"] == "dry-run", dry
assert dry["10.1.0.31"]["hex"] == "1F 1B 1F 91 00 49 50 0A 01 00 28", dry
assert changed("dry") == {"shop-north": 0}, changed("dry")

got = {h: (r["shop"], r["outcome"]) for h, r in results("real").items()}
want = {"10.1.0.31": ("shop-north", "delivered"), "10.1.0.32": ("shop-north", "delivered"),
        "10.2.0.31": ("shop-south", "refused")}
assert got == want, got
assert changed("real") == {"shop-north": 1, "shop-south": 0}, changed("real")
for host in ("10.1.0.31", "10.1.0.32"):
    items = [json.loads(l) for l in open(f"{work}/{host}.json")]
    names = [i.get("name") for i in items if "kind" in i]
    assert names[1:] == ["CR", "LF"] and "Total 12.50" in json.dumps(items), (host, items)
print("check: --check sent nothing and changed nothing, set-ip 10.1.0.40 given as a list\n"
      "arrived whole; a file whose name has a space was printed on 2 printers, the refusal of\n"
      "the third was told, and only the shop whose printers took it counted as changed")
PY
