#!/usr/bin/env bash
# The shared libvanto exports its public interface and none of its internals
# (the wire layouts, the RPC, the backend loader, the ZeroMQ binding's inline
# code), and every backend module finds in it each libvanto name it imports.
#   exported_symbols.sh LIBRARY [MODULE ...]
set -u
library=$1
shift
status=0
fail() { echo "FAIL: $*"; status=1; }
# Demangled names of the dynamic symbols, without address and kind.
symbols() { nm -DC "$@" | sed -E 's/^[0-9a-f ]+ [A-Za-z] //' | sort -u; }

exported=$(symbols --defined-only "$library") || exit 1
# The check must see the public interface, or it proves nothing.
for name in 'vanto::EqData::EqData()' 'vanto::EqCall::EqCall()'; do
  grep -qxF "$name" <<<"$exported" || fail "$name is not exported"
done
internal=$(grep -E 'vanto::(wire|rpc|backend)::|\(anonymous namespace\)|^zmq::' <<<"$exported")
[ -z "$internal" ] ||
  fail "$(wc -l <<<"$internal") internal names exported, e.g.: $(head -n 5 <<<"$internal")"

for module in "$@"; do
  missing=$(symbols --undefined-only "$module" | grep 'vanto::' | grep -vxF -f <(echo "$exported"))
  [ -z "$missing" ] || fail "$(basename "$module") imports what libvanto does not export: $missing"
done
exit $status
