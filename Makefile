PYTHON ?= python3
PIP_INSTALL = $(PYTHON) -m pip install --disable-pip-version-check -q

.PHONY: demo test deps install stack-up stack-down stack-status bench

# Debian packages and Python packages the build, the stack and the tests need.
deps:
	bash scripts/ensure-deps.sh

install: deps
	$(PIP_INSTALL) --no-build-isolation .

demo: install stack-up
	$(PYTHON) -m services.stack status
	$(PYTHON) examples/demo.py

test: install
	$(PYTHON) -m pytest -q tests

stack-up: deps
	$(PYTHON) -m services.stack up

stack-down:
	$(PYTHON) -m services.stack down

stack-status:
	$(PYTHON) -m services.stack status

bench: install
	$(PYTHON) bench/run_all.py
