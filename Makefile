# Every step runs with one interpreter: the active virtual environment's when there is one,
# else python3. Give another with `make demo PYTHON=.venv/bin/python`.
PYTHON ?= $(if $(VIRTUAL_ENV),$(VIRTUAL_ENV)/bin/python,python3)
export PYTHON

.PHONY: demo test compat deps install stack-up stack-down stack-status bench fuzz sanitized

# Debian packages and Python packages the build, the stack and the tests need.
deps:
	bash scripts/ensure-deps.sh

# Shows the compiler's progress; a failed build ends with what failed and what to run.
install: deps
	bash scripts/install.sh

demo: install stack-up
	$(PYTHON) -m services.stack status
	$(PYTHON) examples/demo.py

test: install
	$(PYTHON) -m pytest -q tests

# Quick tests on the other Python versions pyenv offers and with the oldest pandas/numpy
# allowed, each in its own environment under build/compat/.
compat: deps
	bash scripts/compat.sh

stack-up: deps
	$(PYTHON) -m services.stack up

stack-down:
	$(PYTHON) -m services.stack down

stack-status:
	$(PYTHON) -m services.stack status

bench: install
	$(PYTHON) bench/run_all.py

# The fuzz tests of the suite, with many more examples.
fuzz: install
	PELMORA_FUZZ_EXAMPLES=$${PELMORA_FUZZ_EXAMPLES:-3000} $(PYTHON) -m pytest -q tests/fuzz

# The quick tests against an AddressSanitizer/UBSan build of the package.
sanitized: deps
	bash scripts/sanitized-tests.sh
