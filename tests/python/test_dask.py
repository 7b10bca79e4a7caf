"""rudid32.dask on a local distributed cluster of two worker processes:
the blocks are evaluated on the workers, each of which loads the library
itself, and the answers are bit for bit those of evaluate() here."""

import os

import numpy
import pytest

dask = pytest.importorskip("dask")
distributed = pytest.importorskip("distributed")
import dask.array  # noqa: E402
import dask.dataframe  # noqa: E402
import pandas  # noqa: E402

import rudid32  # noqa: E402
import rudid32.dask  # noqa: E402


def worker_library():
    """On a worker: its process, the library it loaded and the data
    directory that library read (None before it loaded)."""
    import rudid32

    loaded = rudid32._library._loaded
    return os.getpid(), loaded and loaded[1], loaded and rudid32.data_directory()


@pytest.fixture(scope="module")
def client():
    # The workers are processes of their own: they read the library and the
    # tables through the variables handed to them.
    environment = {name: os.environ[name] for name in ("RUDID32_LIBRARY", "ZAREVIRU_INI")}
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                  env=environment) as cluster, distributed.Client(cluster) as client:
        yield client


def states(rows, seed):
    generator = numpy.random.default_rng(seed)
    p = 10.0 ** generator.uniform(-2.5, 3.2, rows)
    h = generator.uniform(-100.0, 4500.0, rows)
    p[::101] = numpy.nan
    h[::89] = 1e39
    return p, h


def bits(array):
    return numpy.asarray(array, numpy.float64).view(numpy.int64)


def test_blocks_on_two_worker_processes_answer_bit_for_bit_as_here(client):
    p, h = states(40000, 1)
    values, codes = rudid32.dask.evaluate("AQPPHT", dask.array.from_array(p, chunks=5000),
                                          dask.array.from_array(h, chunks=5000))
    assert values.dtype == numpy.float64 and codes.dtype == numpy.int32 and values.chunks == codes.chunks
    values, codes = dask.compute(values, codes)
    expected = rudid32.evaluate("AQPPHT", p, h)
    assert numpy.array_equal(bits(values), bits(expected[0])) and numpy.array_equal(codes, expected[1])
    assert {0, -1001, -1014}.issubset(set(codes.tolist())) and (codes > 0).any()
    workers = client.run(worker_library)
    assert len(workers) == 2 and os.getpid() not in [pid for pid, _, _ in workers.values()]
    # The workers loaded the library themselves, with the tables handed to them.
    assert any(path == os.environ["RUDID32_LIBRARY"] for _, path, _ in workers.values())
    assert {data for _, path, data in workers.values() if path} == {rudid32.data_directory()}


def test_dask_arrays_broadcast_against_numbers_and_numpy_arrays(client):
    pressures = dask.array.from_array(numpy.array([[1.0], [10.0], [100.0]]), chunks=(2, 1))
    temperatures = numpy.array([50.0, 250.0, 450.0, 900.0])
    values, codes = rudid32.dask.evaluate("AQPPTH", pressures, temperatures)
    assert values.shape == (3, 4)
    values, codes = dask.compute(values, codes)
    expected = rudid32.evaluate("AQPPTH", [[1.0], [10.0], [100.0]], temperatures)
    assert numpy.array_equal(bits(values), bits(expected[0])) and numpy.array_equal(codes, expected[1])
    saturation = dask.compute(*rudid32.dask.evaluate("AQPPT", dask.array.linspace(1, 300, 7, chunks=3)))
    assert numpy.array_equal(bits(saturation[0]), bits(rudid32.evaluate("AQPPT", numpy.linspace(1, 300, 7))[0]))


def test_dataframe_columns_give_values_and_codes_on_the_frame_index(client):
    p, h = states(3000, 2)
    frame = dask.dataframe.from_pandas(pandas.DataFrame({"p": p, "h": h}, index=numpy.arange(3000) * 2),
                                       npartitions=3)
    result = rudid32.dask.evaluate_columns("AQPPHT", frame.p, frame.h, value="T", code="T_code")
    assert list(result.columns) == ["T", "T_code"]
    joined = frame.assign(T=result["T"], T_code=result["T_code"]).compute()
    expected = rudid32.evaluate("AQPPHT", p, h)
    assert list(joined.index) == list(numpy.arange(3000) * 2)
    assert numpy.array_equal(bits(joined["T"].to_numpy()), bits(expected[0]))
    assert joined["T_code"].dtype == numpy.int32 and numpy.array_equal(joined["T_code"].to_numpy(), expected[1])


def test_a_wrong_name_fails_when_the_graph_is_built_not_at_compute_time():
    import dask.array

    import rudid32.dask as rdask
    array = dask.array.from_array(numpy.array([10.0, 20.0]), chunks=1)
    with pytest.raises(ValueError, match="nonsense"):
        rdask.evaluate("nonsense", array, array)
    with pytest.raises(ValueError, match="AQPPXX"):
        rdask.evaluate_columns("AQPPXX", dask.dataframe.from_pandas(pandas.Series([1.0]), npartitions=1))
    with pytest.raises(TypeError):
        rdask.evaluate(7, array)
    with pytest.raises(TypeError, match="takes 2 arguments"):
        rdask.evaluate("AQPPTH", array)
    values, codes = rdask.evaluate("enthalpy_pt", array, 300.0)  # readable names too
    assert values.compute().tolist() == [rudid32.enthalpy_pt(10.0, 300.0), rudid32.enthalpy_pt(20.0, 300.0)]


def test_blocks_give_refined_answers_by_default_and_table_answers_when_asked(client):
    p, t = numpy.array([1.01325, 5.0, 300.0, 0.02]), numpy.array([100.0, 151.0, 420.0, 7.0])
    for refined in (True, False):
        keyword = {} if refined else {"refined": False}
        values, codes = rudid32.dask.evaluate("AQPPTH", dask.array.from_array(p, chunks=2), t, **keyword)
        computed = dask.compute(values, codes)
        expected = rudid32.evaluate("AQPPTH", p, t, refined=refined)
        assert numpy.array_equal(computed[0], expected[0]) and numpy.array_equal(computed[1], expected[1])
    assert not numpy.array_equal(rudid32.evaluate("AQPPTH", p, t)[0],
                                 rudid32.evaluate("AQPPTH", p, t, refined=False)[0])


def test_flags_come_from_the_same_tasks_as_here(client):
    p, h = states(20000, 3)
    values, codes, flags = rudid32.dask.evaluate("AQPPHT", dask.array.from_array(p, chunks=5000),
                                                 dask.array.from_array(h, chunks=5000), refined=True, flags=True)
    assert flags.dtype == numpy.int32 and flags.chunks == values.chunks
    computed = dask.compute(values, codes, flags)
    expected = rudid32.evaluate("AQPPHT", p, h, refined=True, flags=True)
    assert all(numpy.array_equal(bits(a), bits(b)) for a, b in zip(computed[:2], expected[:2]))
    assert numpy.array_equal(computed[2], expected[2]) and computed[2].any()
    frame = dask.dataframe.from_pandas(pandas.DataFrame({"p": p[:900], "h": h[:900]}), npartitions=3)
    result = rudid32.dask.evaluate_columns("AQPPHT", frame.p, frame.h, flags="T_flags").compute()
    assert list(result.columns) == ["value", "code", "T_flags"]
    assert numpy.array_equal(result["T_flags"].to_numpy(), rudid32.evaluate("AQPPHT", p[:900], h[:900], flags=True)[2])


def test_workers_open_the_context_of_the_client(client, monkeypatch):
    # The client's settings as use_units(pressure="psi") would make them.
    settings = (rudid32.data_directory(), "pressure=psi", 0)
    monkeypatch.setattr(rudid32.dask, "_client_settings", lambda: settings)
    psi = numpy.array([14.5, 145.0, 1450.0, 2e5])
    values, codes = dask.compute(*rudid32.dask.evaluate("AQPPTH", dask.array.from_array(psi, chunks=2), 300.0))
    here = rudid32._evaluate.evaluate_arrays("AQPPTH", psi, 300.0, context=rudid32._library.context_for(settings))
    assert numpy.array_equal(bits(values), bits(here[0])) and numpy.array_equal(codes, here[1])
    assert codes.tolist() == [0, 0, 0, -1001]  # 2e5 psi is above the tables' 1000 bar
    assert not numpy.array_equal(values[:3], rudid32.evaluate("AQPPTH", psi[:3], 300.0)[0])  # not read as bar


def test_a_derived_property_of_a_pair_is_evaluated_on_the_workers_as_here(client):
    p, h = states(6000, 2)
    values, codes = rudid32.dask.evaluate("cp_ph", dask.array.from_array(p, chunks=2000),
                                          dask.array.from_array(h, chunks=2000))
    values, codes = dask.compute(values, codes)
    expected = rudid32.evaluate("cp_ph", p, h)
    assert numpy.array_equal(bits(values), bits(expected[0])) and numpy.array_equal(codes, expected[1])
    assert (codes == 0).any() and (codes == -1022).any()  # single phases have cp, wet steam not
