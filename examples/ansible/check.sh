#!/usr/bin/env bash
# Runs the playbook with its own inventory, every shop's host being this machine, inside a
# private network namespace in which the inventory's printer addresses sit on the loopback
# device: two of them are corvane-cli listen, the third refuses. Checks the gathered results
# and what each printer received. CI runs it after the tests.
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
for a in 10.1.0.31 10.1.0.32; do
    "$cli" listen --bind "$a" --count 1 --json >"$work/$a.json" 2>"$work/$a.err" &
done
for a in 10.1.0.31 10.1.0.32; do # bounded: each listener says it listens at once
    for _ in $(seq 100); do grep -q listening "$work/$a.err" && break; sleep 0.05; done
    grep -q listening "$work/$a.err" || { echo "check: no listener on $a" >&2; exit 1; }
done

export ANSIBLE_LOCALHOST_WARNING=false ANSIBLE_INVENTORY_UNPARSED_WARNING=false
timeout 120 ansible-playbook -i "$here/inventory.ini" "$here/playbook.yml" \
    -e ansible_connection=local -e ansible_python_interpreter=/usr/bin/python3 \
    -e corvane_cli="$cli" -e corvane_command=cut -e corvane_results="$work/results.json" \
    >"$work/play.log" || { cat "$work/play.log"; exit 1; }
wait

python3 - "$work" <<'PY'
import json, sys
work = sys.argv[1]
results = {r["host"]: r for r in json.load(open(f"{work}/results.json"))}
want = {"10.1.0.31": ("shop-north", "delivered"), "10.1.0.32": ("shop-north", "delivered"),
        "10.2.0.31": ("shop-south", "refused")}
got = {h: (r["shop"], r["outcome"]) for h, r in results.items()}
assert got == want, got
for host in ("10.1.0.31", "10.1.0.32"):
    items = [json.loads(l) for l in open(f"{work}/{host}.json")]
    names = [i.get("name") for i in items if "kind" in i]
    assert names == ["GS V"], (host, names)
print("check: the playbook cut the paper of 2 printers and told the refusal of the third")
PY
