// Types of the varbex package: the request and the response as the library documents them.

/** How an item may be turned: any way, only about the vertical axis, or not at all. */
export type AllowedRotation = 'BestFit' | 'KeepFlat' | 'Never' | (string & {});

/** Which item dimension lies along x, y and z as placed. */
export type Orientation = 'WLD' | 'LWD' | 'WDL' | 'LDW' | 'DWL' | 'DLW';

export interface RequestItem {
  ItemCode: string;
  /** Defaults to the code. */
  ItemReference?: string | null;
  Width: number;
  Length: number;
  Depth: number;
  /** Default 0. */
  Weight?: number;
  /** Default "BestFit"; "KeepFlat" and "Never" in any letter case. */
  AllowedRotation?: AllowedRotation | null;
  /** A box never holds items of two different groups; items without one may join any box. */
  BoxGroup?: string | null;
}

export interface RequestBox {
  Reference: string;
  /** Inner extents: width along x, length along y, depth along z (up). */
  Width: number;
  Length: number;
  Depth: number;
  /** Total of box and contents; negative means no limit. */
  MaxWeight: number;
  /** Empty weight, default 0. */
  BoxWeight?: number;
  /** Default true. */
  Active?: boolean;
  /** How many may be used; unlimited when absent. */
  MaximumBoxes?: number;
}

export interface PackingRequest {
  items?: RequestItem[];
  boxes?: RequestBox[];
}

/** An item as placed in a box. */
export interface BoxItem {
  ItemCode: string;
  ItemReference: string;
  box_group: string | null;
  /** Extents as placed. */
  width: number;
  length: number;
  depth: number;
  original_width: number;
  original_length: number;
  original_depth: number;
  orientation: Orientation;
  rotated: boolean;
  weight: number;
  x: number;
  y: number;
  z: number;
}

/** A placement in the response's flat list: the item and the box that holds it. */
export interface Placement extends BoxItem {
  box_index: number;
  box_reference: string;
}

export interface FilledBox {
  box_index: number;
  box_reference: string;
  width: number;
  length: number;
  depth: number;
  empty_weight: number;
  inner_volume: number;
  item_count: number;
  item_weight: number;
  items: BoxItem[];
  /** Null for a box without a weight limit. */
  max_weight: number | null;
  remaining_depth: number;
  remaining_length: number;
  remaining_weight: number | null;
  remaining_width: number;
  unused_volume: number;
  used_depth: number;
  used_length: number;
  used_volume: number;
  used_width: number;
  /** Percent. */
  volume_utilisation: number;
  weight: number;
}

/** An item that found no place, in request form. */
export interface UnplacedItem {
  AllowedRotation: string;
  BoxGroup: string | null;
  ItemCode: string;
  ItemReference: string;
  Width: number;
  Length: number;
  Depth: number;
  Volume: number;
  Weight: number;
}

export interface PackingResponse {
  boxes: FilledBox[];
  placements: Placement[];
  /** False when some item found no place. */
  success: boolean;
  summary: {
    box_count: number;
    /** Percent. */
    overall_volume_utilisation: number;
    total_placed: number;
    total_unplaced: number;
  };
  unplaced_item_codes: string[];
  unplaced_items: UnplacedItem[];
}

/** A request the library could not read; `message` is the library's own text. */
export class RequestError extends Error {
  name: 'RequestError';
}

/** Solves a request (an object or a JSON text); throws RequestError on an error envelope. */
export function solve(request: PackingRequest | string): PackingResponse;

/** The library's response text for a request text, unchanged (error envelopes included). */
export function solveText(text: string): string;

export type UnplacedReason =
  | 'no_active_box_type' | 'too_large' | 'too_heavy' | 'box_supply_used_up' | 'no_room';

/** Why one item found no place (docs/insights.md). */
export interface UnplacedInsight {
  ItemCode: string;
  ItemReference: string;
  message: string;
  reason: UnplacedReason;
}

/** How one placed item stands; null measures for an item without extent. */
export interface ItemStanding {
  ItemCode: string;
  load_on_top: number | null;
  overhang: boolean;
  support: number | null;
}

export interface BoxStanding {
  box_index: number;
  box_reference: string;
  centre_of_gravity: { x: number | null; y: number | null; z: number | null } | null;
  centre_of_gravity_offset: { x: number | null; y: number | null } | null;
  items: ItemStanding[];
}

export interface Insights {
  boxes: BoxStanding[];
  summary: {
    largest_centre_of_gravity_offset: number | null;
    overhanging_items: number;
    unplaced_by_reason: Record<UnplacedReason, number>;
  };
  unplaced: UnplacedInsight[];
}

/** The insights of a response for its request; RequestError when either cannot be read. */
export function insights(request: PackingRequest | string, response: PackingResponse | string): Insights;

/** The insights text as the library gives it (an error envelope included). */
export function insightsText(request: PackingRequest | string, response: PackingResponse | string): string;

export interface WorkerSolver {
  solve(request: PackingRequest | string): Promise<PackingResponse>;
  solveText(text: string): Promise<string>;
  insights(request: PackingRequest | string, response: PackingResponse | string): Promise<Insights>;
  insightsText(request: PackingRequest | string, response: PackingResponse | string): Promise<string>;
  /** Stops the workers; requests still in flight are rejected. */
  terminate(): Promise<void>;
}

/**
 * Solves off the calling thread: in Node with worker_threads, in a browser with module Web
 * Workers. Any number of requests may be in flight.
 */
export function createWorkerSolver(options?: { workers?: number }): Promise<WorkerSolver>;
