import os

from hypothesis import HealthCheck, settings

# No example database in the tree, and no deadline on a shared machine.
settings.register_profile(
    "quillfern",
    database=None,
    deadline=None,
    max_examples=int(os.environ.get("QUILLFERN_HYPOTHESIS_EXAMPLES", "200")),
    suppress_health_check=[HealthCheck.too_slow],
)
settings.load_profile("quillfern")


def pytest_configure(config):
    config.addinivalue_line("markers", "install: builds and installs the package with pip (slow)")
