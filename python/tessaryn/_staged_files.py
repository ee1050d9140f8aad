"""Output files written in full beside their final paths, then renamed into place, so a run
that fails or is interrupted leaves no half-written file and every old file as it was."""

from __future__ import annotations

import os
import tempfile

from ._input_error import InputError


class StagedFiles:
    """Temporary files, one per output, each in its output's folder (a rename within a
    folder is atomic). Use as a context manager: what was not committed is removed."""

    def __init__(self) -> None:
        self._staged: list[tuple[str, str]] = []  # (temporary path, final path)

    def stage(self, path: str) -> str:
        """A new empty temporary file for `path`, created now so that a path that cannot
        be written is reported before any work is done."""
        if os.path.isdir(path):
            raise InputError(f"cannot write {path}: it is a folder")
        folder, name = os.path.split(os.path.abspath(path))
        try:
            handle, temporary = tempfile.mkstemp(prefix=f".{name}.", suffix=".partial",
                                                 dir=folder)
        except OSError as error:
            raise InputError(f"cannot write {path}: {error.strerror or error}") from None
        # mkstemp makes the file private; the output gets the permissions of a new file.
        umask = os.umask(0)
        os.umask(umask)
        os.fchmod(handle, 0o666 & ~umask)
        os.close(handle)
        self._staged.append((temporary, path))
        return temporary

    def commit(self) -> None:
        """Renames every staged file into place."""
        while self._staged:
            temporary, path = self._staged[0]
            try:
                os.replace(temporary, path)
            except OSError as error:
                raise InputError(f"cannot write {path}: {error.strerror or error}") from None
            self._staged.pop(0)

    def discard(self) -> None:
        """Removes every staged file not yet renamed into place."""
        for temporary, _ in self._staged:
            try:
                os.remove(temporary)
            except FileNotFoundError:
                pass
        self._staged.clear()

    def __enter__(self) -> "StagedFiles":
        return self

    def __exit__(self, *_) -> None:
        self.discard()
