"""The desk's local services (ClickHouse-compatible store, MariaDB, Redis caches, platform
simulator) with schema and demo data: `python -m services.stack up|down|status|reload`."""
