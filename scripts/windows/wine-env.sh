# Sourced by the Windows scripts: where Wine, the MinGW Qt and the MinGW runtime are, and a
# Wine prefix of the build's own, made on first use.
wine_dir=/usr/lib/wine
export WINE="$wine_dir/wine64" WINESERVER="$wine_dir/wineserver"
if [ ! -x "$WINE" ]; then
  echo "Wine is missing: $WINE (Debian package wine64; scripts/install-deps.sh installs it)." >&2
  exit 1
fi
export CORDELO_WINDOWS_QT=${CORDELO_WINDOWS_QT:-$HOME/.cache/qt6-mingw}
export WINEPREFIX=${WINEPREFIX:-$HOME/.cache/cordelo-wine/tests}
export WINEDEBUG=${WINEDEBUG:--all}
# Keeps a new prefix from offering to install .NET and a web engine, which nothing here needs.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# The Linux platform names mean nothing to the Windows Qt, which has only its own plugin.
unset QT_QPA_PLATFORM

MINGW_RUNTIME_DIR=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
MINGW_PTHREAD_DIR=$(realpath "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)")")

# Z: is the root of the Unix file system in every prefix.
winepath_of() {
  printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"
}

# Several tests may start at once: one of them makes the prefix, the others wait for it.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      # A prefix left without its system files fails every program in it later with "could not
      # load kernel32.dll" (seen once, in the fresh prefix of the installer check): it is made
      # again once, then refused in words.
      for _ in 1 2; do
        "$WINE" wineboot -i >/dev/null 2>&1 || true
        [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ] && break
        "$WINESERVER" -k 2>/dev/null || true
        "$WINESERVER" -w
        rm -rf "$WINEPREFIX"
      done
      if [ ! -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]; then
        echo "Wine could not make the prefix $WINEPREFIX: wineboot left it without kernel32.dll." >&2
        exit 1
      fi
      # Without a window manager, Wine waits two seconds for one to withdraw every window
      # that closes; unmanaged windows close at once.
      "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
      # A program that crashes ends at once, failing its test, instead of waiting for someone to
      # close the crash dialog.
      "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
      "$WINESERVER" -w
    fi
  ) 9>"$WINEPREFIX.lock"
fi

# The prefix's server, started here with its output thrown away: a server that a program starts
# shares that program's output, and this Wine's server prints a dump of its objects when it ends.
# It stays 30 s after its last program, so every program of a run finds it there. Wine's own
# processes (services, devices, the desktop) start with the first program a new server runs and
# end with the server: started here too, they hold no test's output open, which would keep CTest
# waiting for those 30 s.
start_wineserver() {
  if "$WINESERVER" -p30 >/dev/null 2>&1; then
    "$WINE" cmd.exe /c exit >/dev/null 2>&1 || true
  fi
}
start_wineserver
