"""Output files written in full beside their final paths, then renamed into place, so a run
that fails or is interrupted leaves no half-written file and every old file as it was.

What is not a regular file is written through, never replaced: a device (/dev/null), a
FIFO, a terminal, /dev/stdout. A symbolic link keeps being one: the file it points to is
replaced, atomically, beside itself."""

from __future__ import annotations

import errno
import os
import stat
import tempfile

from ._input_error import EnvironmentFailure, InputError, os_reason

# Failures of the machine rather than of the path the user named.
_ENVIRONMENT_ERRORS = {errno.ENOSPC, errno.EDQUOT, errno.EIO, errno.EMFILE, errno.ENFILE,
                       errno.ENOMEM}


def write_failure(path: str, error: OSError) -> Exception:
    """The error to raise for `error` while writing `path`."""
    return EnvironmentFailure(f"cannot write {path}: {os_reason(error)}")


class StagedFiles:
    """Temporary files, one per output, each in its output's folder (a rename within a
    folder is atomic). Use as a context manager: what was not committed is removed."""

    def __init__(self) -> None:
        self._staged: list[tuple[str, str, str]] = []  # (temporary, final, as named)

    def stage(self, path: str) -> str:
        """The path to write `path`'s content to: a new empty temporary file, created now so
        that a path that cannot be written is reported before any work is done, or `path`
        itself where it is not a regular file (written through)."""
        try:
            status = os.stat(path)  # through symbolic links
        except FileNotFoundError:
            status = None
        except OSError as error:
            raise InputError(f"cannot write {path}: {os_reason(error)}") from None
        if status is not None and stat.S_ISDIR(status.st_mode):
            raise InputError(f"cannot write {path}: it is a folder")
        if status is not None and not stat.S_ISREG(status.st_mode):
            return path
        final = os.path.realpath(path) if os.path.islink(path) else path
        folder, name = os.path.split(os.path.abspath(final))
        try:
            handle, temporary = tempfile.mkstemp(prefix=f".{name}.", suffix=".partial",
                                                 dir=folder)
        except OSError as error:
            kind = EnvironmentFailure if error.errno in _ENVIRONMENT_ERRORS else InputError
            raise kind(f"cannot write {path}: {os_reason(error)}") from None
        self._staged.append((temporary, final, path))
        # mkstemp makes the file private; the output gets the permissions of a new file.
        umask = os.umask(0)
        os.umask(umask)
        os.fchmod(handle, 0o666 & ~umask)
        os.close(handle)
        return temporary

    def commit(self) -> None:
        """Renames every staged file into place."""
        while self._staged:
            temporary, final, path = self._staged[0]
            try:
                os.replace(temporary, final)
            except OSError as error:
                raise EnvironmentFailure(f"cannot write {path}: {os_reason(error)}") from None
            self._staged.pop(0)

    def discard(self) -> None:
        """Removes every staged file not yet renamed into place."""
        for temporary, _, _ in self._staged:
            try:
                os.remove(temporary)
            except OSError:
                pass
        self._staged.clear()

    def __enter__(self) -> "StagedFiles":
        return self

    def __exit__(self, *_) -> None:
        self.discard()
