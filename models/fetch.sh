#!/usr/bin/env bash
# Fetches the model files into CACHE_DIR/models with `npm pack` at the pinned versions listed in
# packages.txt and checks every file against SHA256SUMS. Quiet unless something fails; does nothing
# when the checked files are already there.
# Usage: models/fetch.sh CACHE_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cache=${1:?usage: fetch.sh CACHE_DIR}
models="$cache/models"
mkdir -p "$models" "$cache/npm"

checked() { (cd "$models" && sha256sum --quiet --strict -c "$here/SHA256SUMS" >/dev/null 2>&1); }
checked && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
while read -r package files; do
  [[ -z "$package" || "$package" == \#* ]] && continue
  missing=0
  for file in $files; do
    name=$(basename "$file")
    expected=$(awk -v f="$name" '$2 == f { print $1 }' "$here/SHA256SUMS")
    actual=$( [ -f "$models/$name" ] && sha256sum "$models/$name" | cut -d' ' -f1 || true)
    [ -n "$expected" ] && [ "$expected" = "$actual" ] || missing=1
  done
  ((missing)) || continue

  # npm names the tarball of @scope/name@version scope-name-version.tgz; a kept one is reused.
  name=${package#@}
  name=${name%@*}
  tarball="${name//\//-}-${package##*@}.tgz"
  if [ ! -f "$cache/npm/$tarball" ]; then
    if ! (cd "$cache/npm" && npm pack --silent "$package" >/dev/null 2>"$work/npm.log"); then
      cat "$work/npm.log" >&2
      echo "models: npm pack $package failed" >&2
      exit 1
    fi
  fi
  unpacked="$work/${tarball%.tgz}"
  mkdir -p "$unpacked"
  tar -xzf "$cache/npm/$tarball" -C "$unpacked"
  for file in $files; do
    if [ -f "$unpacked/package/$file" ]; then
      install -m 0644 "$unpacked/package/$file" "$models/$(basename "$file")"
    else
      loader=$(ls "$unpacked"/package/*_packed_assets_loader.js)
      node "$here/unpack_assets.js" "$loader" "${loader%_loader.js}.data" "$models" "$file"
    fi
  done
done <"$here/packages.txt"

if ! (cd "$models" && sha256sum --quiet --strict -c "$here/SHA256SUMS"); then
  # Drop the kept tarballs so that the next run fetches them again instead of repeating this.
  rm -f "$cache"/npm/*.tgz
  echo "models: a fetched file does not match models/SHA256SUMS" >&2
  exit 1
fi
