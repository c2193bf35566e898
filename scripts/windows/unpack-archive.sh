# Sourced by qt.sh and zint.sh: unpacks a shared archive into its prefix, whole or not at all.
#   unpack_archive ARCHIVE PREFIX FOLDER   (FOLDER: the one folder the archive makes)
# The prefix keeps the archive's checksum, so that archive_unpacked tells a copy from another
# archive than the shared one now.
archive_checksum() {
  sha256sum "$1" | cut -d' ' -f1
}

# archive_unpacked ARCHIVE PREFIX: whether PREFIX was unpacked from this very archive.
archive_unpacked() {
  [ "$(cat "$2/.cordelo-archive.sha256" 2>/dev/null)" = "$(archive_checksum "$1")" ]
}

unpack_archive() {
  local archive=$1 prefix=$2 folder=$3 work
  echo "Unpacking $(basename "$archive") into $prefix"
  mkdir -p "$(dirname "$prefix")"
  work=$(mktemp -d "$(dirname "$prefix")/unpack.XXXXXX")
  tar -xJf "$archive" -C "$work"
  archive_checksum "$archive" >"$work/$folder/.cordelo-archive.sha256"
  rm -rf "$prefix"
  mv "$work/$folder" "$prefix"
  rmdir "$work"
}
