package com.corvane.ambrix.api;

import java.util.List;

/** The rows of an SQL query; each cell is a host {@link Value}. */
public interface SqlResult {
    /** The number of rows. */
    int rowCount() throws HostException;

    /** Whether the query returned no rows. */
    boolean isEmpty() throws HostException;

    /** One row, counted from 0. */
    List<Value> row(int index) throws HostException;

    /** All rows. Each cell is one request to the host when read; large results are better read row by row. */
    List<List<Value>> rows() throws HostException;
}
