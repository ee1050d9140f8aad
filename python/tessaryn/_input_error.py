"""The one kind of error the command line turns into a line on standard error and exit
status 2: input, options or output paths it cannot use. Its message is that line."""


class InputError(ValueError):
    """Input that cannot be used; the message says what is wrong and where."""
