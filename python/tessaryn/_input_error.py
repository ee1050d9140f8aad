"""The two kinds of error the command line turns into one line on standard error: input,
options or output paths it cannot use (InputError, exit status 2), and a machine that
fails it (EnvironmentFailure, status 1: a full disk, a closed stream, an unreadable file).
Their message is that line."""


class InputError(ValueError):
    """Input that cannot be used; the message says what is wrong and where."""


class EnvironmentFailure(RuntimeError):
    """The system refused what the input asked for; the message says what failed."""


def os_reason(error: OSError) -> str:
    """An OSError's reason in words ("No space left on device")."""
    return error.strerror or str(error) or type(error).__name__
